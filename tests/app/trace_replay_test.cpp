// The command trace through the whole program: traces the demo made of both
// families replay to the outcome and the commands they record, a trace with
// one command changed stops the replay at that command, and a trace that
// cannot be written changes nothing about the run.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>

#include "tests/support/window/event_wait.h"
#include "tests/support/window/program_rig.h"
#include "transport/command_trace.h"

#include <sys/mount.h>

namespace app_tests {

using namespace rig;
namespace {

struct TraceCase {
  const char* scenario;
  uint32_t platformId;
};

std::ostream& operator<<(std::ostream& out, const TraceCase& c) {
  return out << c.scenario << (c.platformId == platform::VER_PLATFORM_WIN32_NT ? "-nt" : "-9x");
}

std::string Name(const TraceCase& c) {
  std::ostringstream name;
  name << c;
  return name.str();
}

std::string TracePath(const TraceCase& c) { return std::string(ZX_TRACE_DIR) + "/" + Name(c) + ".jsonl"; }

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines without their times, which no two runs share.
std::vector<std::string> Untimed(const std::string& path) {
  static const std::regex times(",\"(t|ms)\":[0-9]+");
  std::vector<std::string> lines = Lines(path);
  for (std::string& line : lines) line = std::regex_replace(line, times, "");
  return lines;
}

// The program's trace for the life of the object, named as the demo names it.
class Tracing {
 public:
  explicit Tracing(const std::string& path) {
    std::string error;
    trace_ = CommandTrace::Open(path, "zorvex-flash-demo", ZX_VERSION, error);
    EXPECT_TRUE(trace_) << error;
    InstallCommandTrace(trace_.get());
  }
  ~Tracing() { InstallCommandTrace(nullptr); }

 private:
  std::unique_ptr<CommandTrace> trace_;
};

// Starts the program on the trace's drives and flashes if the recorded
// operator did; the program's own trace of it goes to `replayed`.
void ReplayRun(ProgramRig& rig, const std::string& trace, const std::string& replayed) {
  ASSERT_TRUE(rig.Replay(trace));
  if (Lines(trace).front().find("\"language\":\"ja\"") != std::string::npos)
    rig.system.langId = platform::LANG_ID_JAPANESE;
  Tracing tracing(replayed);
  rig.Start();
  if (rig.form().Button1.Enabled()) rig.Run();
}

class TraceReplayTest : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TraceReplayTest, ReachesTheRecordedOutcomeThroughTheRecordedCommands) {
  const std::string recorded = TracePath(GetParam());
  ProgramRig rig(RigOptions{.platformId = GetParam().platformId});
  const std::string replayed = rig.dir.File("replayed.jsonl");
  ReplayRun(rig, recorded, replayed);
  if (rig.replayScript() != nullptr) {
    EXPECT_EQ(rig.replayScript()->Failure(), "");
    EXPECT_EQ(rig.replayScript()->Remaining(), 0u);
  }
  // Header, every command with its reply, every status and box, in order.
  EXPECT_EQ(Untimed(replayed), Untimed(recorded));
}

INSTANTIATE_TEST_SUITE_P(DemoTraces, TraceReplayTest,
                         ::testing::Values(TraceCase{"success", 2}, TraceCase{"success", 1},
                                           TraceCase{"erase-failed", 2}, TraceCase{"erase-failed", 1},
                                           TraceCase{"unit-attention", 2}, TraceCase{"unit-attention", 1},
                                           TraceCase{"other-identity", 2}, TraceCase{"other-identity", 1}),
                         [](const auto& info) {
                           return std::regex_replace(Name(info.param), std::regex("-"), "_");
                         });

class ChangedTraceTest : public ::testing::TestWithParam<uint32_t> {};

// The data of the tenth upload, in the middle of unit 0's firmware, is changed.
TEST_P(ChangedTraceTest, StopsAtTheChangedCommandAndNamesIt) {
  constexpr int CHANGED_UPLOAD = 10;
  const std::string original = TracePath({"success", GetParam()});
  ProgramRig rig(RigOptions{.platformId = GetParam()});
  const std::string changed = rig.dir.File("changed.jsonl");
  std::vector<std::string> lines = Lines(original);
  std::size_t command = 0, line = 0, digest = std::string::npos;
  for (int uploads = 0; line < lines.size() && uploads < CHANGED_UPLOAD; ++line) {
    if (lines[line].find("\"event\":\"command\"") != std::string::npos) ++command;
    digest = lines[line].find("\"sent_sha256\":\"");
    if (digest != std::string::npos) ++uploads;
  }
  ASSERT_NE(digest, std::string::npos);
  char& digit = lines[line - 1][digest + 15];
  digit = digit == '0' ? '1' : '0';
  std::ofstream(changed, std::ios::binary) << [&] {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
  }();

  ::testing::internal::CaptureStderr();
  ReplayRun(rig, changed, rig.dir.File("replayed.jsonl"));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("replay: command " + std::to_string(command) + " (trace line " +
                        std::to_string(line) + ") differs: expected"),
            std::string::npos)
      << errors;
  EXPECT_EQ(rig.Outcome().status, StatusMsg::FlashingError);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, ChangedTraceTest,
                         ::testing::Values(platform::VER_PLATFORM_WIN32_NT,
                                           platform::VER_PLATFORM_WIN32_WINDOWS));

// A file system with room for a few lines at most: a small tmpfs, where
// this process may mount one. (The device that is always full is no
// stand-in: the trace refuses any file that is not a regular one.)
class FullFileSystem {
 public:
  explicit FullFileSystem(const std::string& folder) {
    std::filesystem::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=4k") == 0) {
      mounted_ = folder;
      path_ = folder + "/trace.jsonl";
    }
  }
  ~FullFileSystem() {
    if (!mounted_.empty()) ::umount(mounted_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string mounted_, path_;
};

class FullTraceTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(FullTraceTest, LeavesTheRunAndItsCommandsAsWithoutATrace) {
  ProgramRig probe;
  if (FullFileSystem(probe.dir.File("probe")).Path().empty())
    GTEST_SKIP() << "no small file system can be mounted here (needs root)";
  ProgramRig plain(RigOptions{.drives = 1, .platformId = GetParam()});
  plain.Start();
  const RunOutcome expected = plain.Run();
  ASSERT_EQ(expected.status, StatusMsg::TurnOff);

  ProgramRig rig(RigOptions{.drives = 1, .platformId = GetParam()});
  const FullFileSystem full(rig.dir.File("full"));
  ::testing::internal::CaptureStderr();
  RunOutcome outcome;
  {
    Tracing tracing(full.Path());
    rig.Start();
    outcome = rig.Run();
  }
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(outcome.status, expected.status);
  EXPECT_EQ(outcome.completion, expected.completion);
  EXPECT_EQ(outcome.sent, expected.sent);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_NE(errors.find("could not be written"), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(PassThroughFamily, FullTraceTest,
                         ::testing::Values(platform::VER_PLATFORM_WIN32_NT));

// A file system frozen (as a backup agent freezes one, or a network mount
// that hangs) after the trace's first lines, until the test thaws it.
struct FrozenFiles {
  explicit FrozenFiles(std::size_t before) : before(before) {}
  void Thaw() {
    std::lock_guard<std::mutex> guard(lock);
    thaw = true;
    thawed.notify_all();
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(lock);
    return lines;
  }
  const std::size_t before;
  std::mutex lock;
  std::condition_variable thawed;
  bool thaw = false;
  std::vector<std::string> lines;
};

// The trace's own writer owns its sink, and may outlive the trace.
class FrozenSink final : public platform::LineSink {
 public:
  explicit FrozenSink(std::shared_ptr<FrozenFiles> files) : files_(std::move(files)) {}
  bool WriteLine(std::string_view line, std::string&) override {
    std::unique_lock<std::mutex> guard(files_->lock);
    files_->thawed.wait(guard, [&] { return files_->lines.size() < files_->before || files_->thaw; });
    files_->lines.emplace_back(line);
    return true;
  }

 private:
  std::shared_ptr<FrozenFiles> files_;
};

TEST(FrozenTraceTest, TheRunGoesOnAndTheTraceIsGivenUpOnce) {
  ProgramRig plain(RigOptions{.drives = 1});
  plain.Start();
  const RunOutcome expected = plain.Run();
  ASSERT_EQ(expected.status, StatusMsg::TurnOff);

  ProgramRig rig(RigOptions{.drives = 1});
  const auto sink = std::make_shared<FrozenFiles>(30);
  ::testing::internal::CaptureStderr();
  RunOutcome outcome;
  {
    const std::unique_ptr<CommandTrace> trace =
        CommandTrace::Into(std::make_unique<FrozenSink>(sink), "frozen.jsonl", "zorvex-flash", ZX_VERSION,
                           {.stallMs = 100, .drainMs = 100});
    InstallCommandTrace(trace.get());
    rig.Start();
    outcome = rig.Run();
    InstallCommandTrace(nullptr);
  }
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(sink->Lines().size(), 30u) << "the file system was thawed before the run's end";
  sink->Thaw();
  testing_support::ProcessEventsUntil([&] { return sink->Lines().size() > 30; });
  EXPECT_EQ(outcome.status, expected.status);
  EXPECT_EQ(outcome.sent, expected.sent);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_NE(errors.find("the trace frozen.jsonl could not be written (its file system has not taken a line"),
            std::string::npos)
      << errors;
  // What was queued before the trace was given up still reached the file.
  const std::vector<std::string> lines = sink->Lines();
  EXPECT_GT(lines.size(), 30u);
  EXPECT_NE(lines.front().find("\"event\":\"header\""), std::string::npos);
}

}  // namespace
}  // namespace app_tests
