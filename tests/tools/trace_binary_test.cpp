// The built zx-trace program on the demo's committed traces and on broken
// copies of them: what it reports, its exit status and its streams.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/firmware/container_test_files.h"

namespace {

namespace fs = std::filesystem;

fs::path ToolPath() {
  if (const char* build = std::getenv("ZX_BUILD_DIR")) return fs::path(build) / "tools" / "zx-trace";
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "zx-trace";
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct TraceAnswer {
  const char* name;
  const char* command;  // summary or check
  const char* trace;    // under tests/data/traces
  const char* from;     // a text replaced in the trace, or nullptr
  const char* to;
  int status;
  const char* out;  // expected in stdout, or nullptr for none
  const char* err;  // expected in the one stderr line, or nullptr for none
};

class TraceBinaryAnswer : public ::testing::TestWithParam<TraceAnswer> {};

TEST_P(TraceBinaryAnswer, ExitStatusAndStreams) {
  const TraceAnswer& c = GetParam();
  ASSERT_TRUE(fs::exists(ToolPath())) << ToolPath() << " is not built (target zx-trace)";
  container_test::ScratchDir dir;
  std::string trace = Slurp(std::string(ZX_TRACE_DIR) + "/" + c.trace);
  ASSERT_FALSE(trace.empty());
  if (c.from != nullptr)
    trace = std::regex_replace(trace, std::regex(c.from), c.to, std::regex_constants::format_first_only);
  std::ofstream(dir.File("trace.jsonl"), std::ios::binary) << trace;
  const std::string command = "'" + ToolPath().string() + "' " + c.command + " '" + dir.File("trace.jsonl") +
                              "' >'" + dir.File("out") + "' 2>'" + dir.File("err") + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status);
  const std::string out = Slurp(dir.File("out")), err = Slurp(dir.File("err"));
  if (c.out == nullptr)
    EXPECT_EQ(out, "");
  else
    EXPECT_NE(out.find(c.out), std::string::npos) << out;
  if (c.err == nullptr) {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(c.err), std::string::npos) << err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    DemoTraces, TraceBinaryAnswer,
    ::testing::Values(
        TraceAnswer{"SummaryNamesTheDrive", "summary", "success-nt.jsonl", nullptr, nullptr, 0,
                    "\"ZORVEX  DVD-ROM RT-5800B\" revision \"1.0A\"", nullptr},
        TraceAnswer{"SummaryDecodesAFailedErase", "summary", "erase-failed-9x.jsonl", nullptr, nullptr, 0,
                    "erase unit 0 (cdb cb0400000000002000000000): request status 4", nullptr},
        TraceAnswer{"SummaryDecodesAUnitAttention", "summary", "unit-attention-nt.jsonl", nullptr, nullptr, 0,
                    "sense key 6 (UNIT ATTENTION), ASC/ASCQ 44/00", nullptr},
        TraceAnswer{"SummaryOfARunThatFoundNoDrive", "summary", "other-identity-nt.jsonl", nullptr, nullptr,
                    0, "last status: 16 \"Target drive is not found.\"", nullptr},
        TraceAnswer{"CheckAcceptsADemoTrace", "check", "success-9x.jsonl", nullptr, nullptr, 0,
                    "a valid zorvex trace, version 1,", nullptr},
        TraceAnswer{"CheckRefusesAnUnknownVersion", "check", "success-nt.jsonl", "\"version\":1",
                    "\"version\":2", 1, nullptr, "trace format version 2 is not known here"},
        TraceAnswer{"CheckNamesABadLine", "check", "success-nt.jsonl", "\"dir\":\"in\"", "\"dir\":\"up\"", 1,
                    nullptr, "line 2: a command with the direction \"up\""},
        TraceAnswer{"CheckNamesAShortReply", "check", "success-nt.jsonl", "\"len\":36", "\"len\":37", 1,
                    nullptr, "line 2: the data received is not as long as the command says"},
        TraceAnswer{"CheckNamesMalformedJson", "check", "erase-failed-nt.jsonl", "\\}\n", "\n", 1, nullptr,
                    "line 1: '}' missing"}),
    [](const auto& info) { return std::string(info.param.name); });

// A summary or check that cannot be written (a full disk) is no success.
TEST(TraceBinary, OutputThatCannotBeWrittenIsStatus3) {
  container_test::ScratchDir dir;
  for (const char* command : {"summary", "check"}) {
    const std::string line = "'" + ToolPath().string() + "' " + command + " '" + ZX_TRACE_DIR +
                             "/success-nt.jsonl' >/dev/full 2>'" + dir.File("err") + "'";
    const int status = std::system(line.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 3) << command;
    EXPECT_NE(Slurp(dir.File("err")).find("standard output could not be written"), std::string::npos);
  }
}

}  // namespace
