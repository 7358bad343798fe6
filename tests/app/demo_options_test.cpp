// The demo's command line: what each option sets, and the values refused.
#include "app/entry/demo_options.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <thread>

#include "app/entry/demo_drives.h"
#include "tests/firmware/container_test_files.h"

namespace demo {
namespace {

std::string Slurp(const std::string& path) {
  const auto bytes = container_test::ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

using emulator::CommandKind;

TEST(DemoOptionsTest, DefaultsWithoutArguments) {
  const DemoParse parse = ParseDemoOptions({});
  ASSERT_EQ(parse.error, "");
  const DemoOptions& o = parse.options;
  EXPECT_EQ(o.drives, 1);
  EXPECT_EQ(o.revision, "1.0A");
  EXPECT_FALSE(o.family.has_value());  // the system decides
  EXPECT_FALSE(o.language.has_value());
  EXPECT_EQ(o.latencyScale, 1.0);
  EXPECT_TRUE(o.failures.empty());
  EXPECT_EQ(o.commandLog, "");
  EXPECT_EQ(o.dumpDir, "");
  EXPECT_FALSE(o.autoFlash);
  EXPECT_FALSE(o.help);
}

struct Accepted {
  const char* name;
  std::vector<std::string> args;
  std::function<bool(const DemoOptions&)> holds;
};

std::ostream& operator<<(std::ostream& out, const Accepted& a) { return out << a.name; }

class AcceptedTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedTest, SetsWhatItSays) {
  const DemoParse parse = ParseDemoOptions(GetParam().args);
  ASSERT_EQ(parse.error, "");
  EXPECT_TRUE(GetParam().holds(parse.options));
}

INSTANTIATE_TEST_SUITE_P(
    Options, AcceptedTest,
    ::testing::Values(
        Accepted{"DrivesZero", {"--drives", "0"}, [](const DemoOptions& o) { return o.drives == 0; }},
        Accepted{"DrivesTen", {"--drives=10"}, [](const DemoOptions& o) { return o.drives == 10; }},
        Accepted{
            "Revision", {"--revision", "2.0C"}, [](const DemoOptions& o) { return o.revision == "2.0C"; }},
        Accepted{
            "Family9x", {"--family", "9x"}, [](const DemoOptions& o) { return o.family == Family::Win9x; }},
        Accepted{"Japanese",
                 {"--language", "ja"},
                 [](const DemoOptions& o) { return o.language == Language::Japanese; }},
        Accepted{
            "NoLatency", {"--latency-scale", "0"}, [](const DemoOptions& o) { return o.latencyScale == 0; }},
        Accepted{"HalfLatency",
                 {"--latency-scale", "0.5"},
                 [](const DemoOptions& o) { return o.latencyScale == 0.5; }},
        Accepted{"TwoFailures",
                 {"--fail", "program:3:05", "--fail=erase-unit:1:Ff"},
                 [](const DemoOptions& o) {
                   return o.failures.size() == 2 && o.failures[0].kind == CommandKind::Program &&
                          o.failures[0].nth == 3 && o.failures[0].senseByte2 == 0x05 &&
                          o.failures[1].kind == CommandKind::EraseUnit && o.failures[1].nth == 1 &&
                          o.failures[1].senseByte2 == 0xFF;
                 }},
        Accepted{"Files",
                 {"--command-log", "/tmp/a b.log", "--dump-flash", "/tmp"},
                 [](const DemoOptions& o) { return o.commandLog == "/tmp/a b.log" && o.dumpDir == "/tmp"; }},
        Accepted{"AutoAndHelp",
                 {"--auto-flash", "-h"},
                 [](const DemoOptions& o) { return o.autoFlash && o.help; }}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
  const char* name;
  std::vector<std::string> args;
  const char* mentions;
};

std::ostream& operator<<(std::ostream& out, const Refused& r) { return out << r.name; }

class RefusedTest : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedTest, NamesTheOptionOnOneLine) {
  const DemoParse parse = ParseDemoOptions(GetParam().args);
  EXPECT_THAT(parse.error, ::testing::HasSubstr(GetParam().mentions));
  EXPECT_EQ(parse.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RefusedTest,
    ::testing::Values(Refused{"Unknown", {"--colour", "red"}, "--colour"},
                      Refused{"MissingValue", {"--drives"}, "--drives"},
                      Refused{"TooManyDrives", {"--drives", "11"}, "--drives"},
                      Refused{"DrivesWithBlank", {"--drives", " 1"}, "--drives"},
                      Refused{"ShortRevision", {"--revision", "1.0"}, "--revision"},
                      Refused{"RevisionWithSeparator", {"--revision", "1;0A"}, "--revision"},
                      Refused{"Family", {"--family", "xp"}, "--family"},
                      Refused{"Language", {"--language", "de"}, "--language"},
                      Refused{"NegativeScale", {"--latency-scale", "-1"}, "--latency-scale"},
                      Refused{"HugeScale", {"--latency-scale", "1000"}, "--latency-scale"},
                      Refused{"ScaleNotANumber", {"--latency-scale", "inf"}, "--latency-scale"},
                      Refused{"FailUnknownKind", {"--fail", "format:1:02"}, "--fail"},
                      Refused{"FailOtherKind", {"--fail", "other:1:02"}, "--fail"},
                      Refused{"FailZeroth", {"--fail", "upload:0:02"}, "--fail"},
                      Refused{"FailBadSense", {"--fail", "upload:1:1g"}, "--fail"},
                      Refused{"FailHexPrefix", {"--fail", "upload:1:0x2"}, "--fail"},
                      Refused{"EmptyLog", {"--command-log="}, "--command-log"},
                      Refused{"DumpWithSeparator", {"--dump-flash", "a;b"}, "--dump-flash"},
                      Refused{"AutoWithValue", {"--auto-flash=yes"}, "--auto-flash"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DemoFilesTest, CreatesTheLogAndRefusesAMissingFolder) {
  container_test::ScratchDir dir;
  DemoOptions o;
  o.commandLog = dir.File("log.txt");
  o.dumpDir = dir.File("");
  EXPECT_EQ(PrepareDemoFiles(o).error, "");
  EXPECT_TRUE(std::filesystem::exists(o.commandLog));

  o.dumpDir = dir.File("absent");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("--dump-flash"));
  o.dumpDir = o.commandLog;  // a file, not a folder
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("--dump-flash"));
  o.dumpDir.clear();
  o.commandLog = dir.File("absent/log.txt");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("--command-log"));
}

// A refusal leaves the command log as it was: neither emptied nor made.
TEST(DemoFilesTest, ARefusedDumpFolderLeavesTheLogAlone) {
  container_test::ScratchDir dir;
  DemoOptions o;
  o.commandLog = dir.File("log.txt");
  o.dumpDir = dir.File("absent");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("--dump-flash"));
  EXPECT_FALSE(std::filesystem::exists(o.commandLog));
  container_test::WriteBytes(o.commandLog, {'o', 'l', 'd', '\n'});
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("--dump-flash"));
  o.dumpDir = dir.File("");
  EXPECT_EQ(PrepareDemoFiles(o).error, "");
  EXPECT_EQ(container_test::ReadBytes(o.commandLog), (std::vector<uint8_t>{'o', 'l', 'd', '\n'}));
}

// A command log that would lose a file or hold start-up is refused at once,
// every file left as it was; a FIFO with a reader is taken and held.
TEST(DemoFilesTest, RefusesACommandLogThatWouldLoseAFileOrWaitForAReader) {
  container_test::ScratchDir dir;
  const std::vector<uint8_t> kept = {'k', 'e', 'p', 't'};
  DemoOptions o;
  o.trace = dir.File("trace.jsonl");
  o.commandLog = dir.File("./trace.jsonl");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("is where this run's trace goes too"));
  container_test::WriteBytes(dir.File("target"), kept);
  std::filesystem::create_symlink(dir.File("target"), dir.File("link"));
  o.commandLog = dir.File("link");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("is a symbolic link"));
  EXPECT_EQ(container_test::ReadBytes(dir.File("target")), kept);
  o.commandLog = dir.File("fifo");
  ASSERT_EQ(::mkfifo(o.commandLog.c_str(), 0600), 0);
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("a FIFO that nobody reads"));
  const int reader = ::open(o.commandLog.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const DemoFiles files = PrepareDemoFiles(o);
  EXPECT_EQ(files.error, "");
  ASSERT_NE(files.commandLogHold, nullptr);
  EXPECT_TRUE(files.commandLogHold->HasReader());
  ::close(reader);
}

// The trace to replay is read once, and never where this run's trace goes.
TEST(DemoReplayTest, IsReadOnceAndNeverTheTraceOutput) {
  container_test::ScratchDir dir;
  const std::string trace = Slurp(std::string(ZX_TRACE_DIR) + "/success-nt.jsonl");
  container_test::WriteBytes(dir.File("t.jsonl"), std::vector<uint8_t>(trace.begin(), trace.end()));
  DemoOptions o;
  o.replay = dir.File("t.jsonl");
  o.trace = dir.File("./t.jsonl");
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("is where this run's trace goes too"));
  o.trace.clear();
  o.commandLog = o.replay;
  EXPECT_THAT(PrepareDemoFiles(o).error, ::testing::HasSubstr("is the trace to replay"));
  EXPECT_EQ(Slurp(o.replay), trace);
  o.commandLog.clear();
  // A pipe, which has nothing left after the first read.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    ::write(ends[1], trace.data(), trace.size());
    ::close(ends[1]);
  });
  o.replay = "/dev/fd/" + std::to_string(ends[0]);
  const DemoFiles files = PrepareDemoFiles(o);
  writer.join();
  ::close(ends[0]);
  EXPECT_EQ(files.error, "");
  ASSERT_NE(files.replayText, nullptr);
  EXPECT_EQ(*files.replayText, trace);
}

TEST(DemoLibraryConfigTest, CarriesEveryDriveSetting) {
  DemoOptions o;
  o.drives = 3;
  o.revision = "2.0C";
  o.latencyScale = 0.5;
  o.failures = {{CommandKind::Upload, 2, 0x3B}, {CommandKind::FlashOff, 1, 0x06}};
  o.commandLog = "/x/log";
  o.dumpDir = "/x/dump";
  EXPECT_EQ(LibraryConfig(o),
            "adapters=3;drives=3;revision=2.0C;latency=175;fail=upload:2:3b;fail=flash-off:1:06;log=/x/log;"
            "dump=/x/dump");
  o = DemoOptions{};
  o.latencyScale = 0;
  EXPECT_EQ(LibraryConfig(o), "adapters=1;drives=1;revision=1.0A;latency=0");
  // A replayed drive takes the recorded time instead of the library's own.
  o.latencyScale = 1;
  o.replay = "/x/trace";
  EXPECT_EQ(LibraryConfig(o), "adapters=1;drives=1;revision=1.0A;latency=0;replay=/x/trace;replay-delays=1");
}

TEST(DemoReplayTest, AnUnreadableOrUnknownTraceIsRefusedBeforeTheStart) {
  container_test::ScratchDir dir;
  DemoOptions o;
  o.replay = dir.File("absent.jsonl");
  EXPECT_EQ(PrepareDemoFiles(o).error, "--replay: cannot read " + o.replay);
  o.replay = dir.File("future.jsonl");
  const std::string future = "{\"format\":\"zorvex-trace\",\"event\":\"header\",\"version\":9}\n";
  container_test::WriteBytes(o.replay, std::vector<uint8_t>(future.begin(), future.end()));
  EXPECT_EQ(PrepareDemoFiles(o).error,
            "--replay: " + o.replay + ": trace format version 9 is not known here (this reads version 1)");
}

}  // namespace
}  // namespace demo
