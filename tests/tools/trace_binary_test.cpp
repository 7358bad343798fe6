// The built zx-trace program on the demo's committed traces and on broken
// copies of them: what it reports, its exit status and its streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

void PrintTo(const TraceAnswer& c, std::ostream* os) { *os << c.name; }

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

// A line longer than a trace line may be: a field of 70,000 bytes.
const std::string kLongField = "\"pad\":\"" + std::string(70000, 'a') + "\",\"cdb\"";

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
                    "line 1: '}' missing"},
        TraceAnswer{"CheckRefusesATimeBeyondTheLimit", "check", "success-nt.jsonl", "\"ms\":[0-9]+",
                    "\"ms\":4294967295", 1, nullptr, "line 2: \"ms\" is 4294967295, more than the 600000 ms"},
        TraceAnswer{"CheckRefusesALineBeyondTheLimit", "check", "success-nt.jsonl", "\"cdb\"",
                    kLongField.c_str(), 1, nullptr, "line 2 is longer than 65536 bytes"},
        TraceAnswer{"SummaryEscapesControlCharacters", "summary", "success-nt.jsonl",
                    "\"program\":\"[a-z-]+\"", "\"program\":\"\x1b]0;x\x07\x9b\\\\\"", 0,
                    "program:     \\x1b]0;x\\x07\\x9b\\x5c 1.0.0", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// `zx-trace check /dev/stdin` fed `total` bytes, `feed` over and over, through
// a pipe; its exit status in `status`, its peak memory (KiB) returned.
long FedCheck(const std::string& feed, std::size_t total, int& status) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const std::string tool = ToolPath().string();
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (::dup2(ends[0], 0) < 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0) ::_exit(126);
    ::close(ends[1]);
    ::execl(tool.c_str(), tool.c_str(), "check", "/dev/stdin", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ends[0]);
  // The reader may stop early: its going must fail the write, not end the test.
  const auto before = ::signal(SIGPIPE, SIG_IGN);
  for (std::size_t sent = 0; sent < total;) {
    const ssize_t n = ::write(ends[1], feed.data(), std::min(feed.size(), total - sent));
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  ::close(ends[1]);
  ::signal(SIGPIPE, before);
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  return usage.ru_maxrss;
}

// An endless line (96 MiB of zero bytes here) is refused once it passes the
// line limit: it costs no more memory than reading a whole sound trace.
TEST(TraceBinary, AnEndlessLineDoesNotGrowMemory) {
  const std::string trace = Slurp(std::string(ZX_TRACE_DIR) + "/success-nt.jsonl");
  int status = 0;
  const long sound = FedCheck(trace, trace.size(), status);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const long endless = FedCheck(std::string(64 * 1024, '\0'), std::size_t{96} << 20, status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_LT(endless, sound + 16 * 1024) << "KiB at most, against " << sound << " KiB for a sound trace";
}

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
