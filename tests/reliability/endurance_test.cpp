// A long series of successful runs in one process, as an operator who
// flashes drive after drive without restarting would make: the program must
// end each run with what it had before it, no thread, descriptor, event or
// heap memory more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "app/run_watch.h"
#include "tests/support/window/event_wait.h"
#include "tests/reliability/lean_device_layer.h"
#include "tests/support/window/program_rig.h"
#include "tests/reliability/resource_counts.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

#if defined(__SANITIZE_THREAD__)
#define ZX_THREAD_SANITIZER 1
#elif defined(__SANITIZE_ADDRESS__)
#define ZX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZX_THREAD_SANITIZER 1
#elif __has_feature(address_sanitizer)
#define ZX_ADDRESS_SANITIZER 1
#endif
#endif

// A run costs ten times as much under ThreadSanitizer; fewer runs keep the
// suite within minutes there (the sanitizer's allocator counts the heap
// exactly, so a leak per run still shows).
#if defined(ZX_THREAD_SANITIZER)
constexpr int RUNS = 100;
#else
constexpr int RUNS = 1000;
#endif
#if defined(ZX_THREAD_SANITIZER) || defined(ZX_ADDRESS_SANITIZER)
#define ZX_SANITIZED 1
#endif
// Lazily made caches (Qt's, the allocator's, the first run's own buffers)
// fill during these and are then reused.
constexpr int WARM_UP_RUNS = 5;
// The heap is measured after the warm-up and after each of two halves of
// RUNS runs. What a half may add: allocator and Qt bookkeeping made once,
// not per run (about 500 to 600 bytes, and on a busy machine up to a few
// kilobytes made late, in either half). A leak grows both halves alike, a
// one-time allocation only one of them: the smaller growth must stay below
// RUNS x 16 bytes, so that one 16-byte block left per run shows.
constexpr std::size_t HEAP_TOLERANCE = std::min<std::size_t>(2048, RUNS * 16 - 1);
static_assert(HEAP_TOLERANCE < RUNS * 16);
constexpr int SETTLE_MS = 5000;
constexpr char THREAD_CACHES_OFF[] = "glibc.malloc.tcache_count=0";

// A power control that records nothing, so the fixture itself grows nothing.
class QuietPower final : public platform::PowerControl {
 public:
  bool AdjustShutdownPrivilege(bool) override { return true; }
  bool ExitWindowsEx(uint32_t, uint32_t) override { return true; }
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override { return std::make_unique<Lock>(); }

 private:
  struct Lock final : platform::InhibitLock {};
};

// The operator picks the drive again (which offers the flash again) and
// clicks; the run must succeed.
void RunOnce(ProgramRig& rig) {
  TForm1& form = rig.form();
  RunWatch::Of(form).Poll();  // the window notices the last run's end now, not at its next poll
  form.ComboBox1.Pick(0);
  ASSERT_TRUE(form.Button1.Enabled());
  rig.ClickFlash();
  ASSERT_TRUE(rig.WaitForRunEnd());
  ASSERT_EQ(rig.program().run.completion.load(), COMPLETION_SUCCESS);
}

// Self-deleting flash threads may still be on their way out.
ResourceCounts Settled(std::size_t threads) {
  testing_support::ProcessEventsUntil([&] { return CountResources().threads <= threads; }, SETTLE_MS);
  return CountResources();
}

// glibc's per-thread caches keep up to seven freed blocks of each size for
// each thread, and mallinfo2 counts them as in use: tens of kilobytes that
// come and go with the order of frees, not with the number of runs. Without
// a sanitizer (whose allocator counts exactly) the measurement is made in a
// process of its own with those caches switched off.
bool HeapCountIsExact() {
#ifdef ZX_SANITIZED
  return true;
#else
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  return tunables != nullptr && std::strstr(tunables, THREAD_CACHES_OFF) != nullptr;
#endif
}

// Runs the current test again in a child process whose heap count is exact; true when it passed.
bool PassesWithExactHeapCount() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  const std::string env = std::string(tunables != nullptr ? tunables : "") +
                          (tunables != nullptr && *tunables != '\0' ? ":" : "") + THREAD_CACHES_OFF;
  const std::string command = "GLIBC_TUNABLES='" + env + "' '" +
                              std::filesystem::read_symlink("/proc/self/exe").string() +
                              "' --gtest_filter=" + test->test_suite_name() + "." + test->name();
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Endurance, ManySuccessfulRunsLeaveNoThreadDescriptorEventOrHeapBehind) {
  if (!HeapCountIsExact()) {
    ASSERT_TRUE(PassesWithExactHeapCount()) << "the measuring process failed (its output is above)";
    return;
  }
  // Declared before the rig: the program uses both until the rig is gone.
  QuietPower power;
  std::unique_ptr<LeanDeviceLayer> devices;
  ProgramRig rig(RigOptions{.drives = 1, .unitAttention = true});
  devices = std::make_unique<LeanDeviceLayer>(FIRST_LETTER, rig.tap());
  rig.UseDevices(*devices);
  rig.UsePower(power);
  TForm1& form = rig.Start();
  ASSERT_TRUE(form.Button1.Enabled());
  for (int i = 0; i < WARM_UP_RUNS; ++i) ASSERT_NO_FATAL_FAILURE(RunOnce(rig));
  const std::size_t idleThreads = CountResources().threads;
  const ResourceCounts before = Settled(idleThreads);

  for (int i = 0; i < RUNS; ++i) ASSERT_NO_FATAL_FAILURE(RunOnce(rig)) << "run " << i;
  const ResourceCounts middle = Settled(before.threads);
  for (int i = 0; i < RUNS; ++i) ASSERT_NO_FATAL_FAILURE(RunOnce(rig)) << "run " << RUNS + i;
  EXPECT_EQ(rig.tap().Commands().size(), 62u) << "the last run was not a whole one";

  const ResourceCounts after = Settled(before.threads);
  std::cout << 2 * RUNS << " runs: before " << Describe(before) << "; after " << RUNS << " "
            << Describe(middle) << "; after " << 2 * RUNS << " " << Describe(after) << std::endl;
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.descriptors, before.descriptors);
  EXPECT_EQ(after.events, before.events);
  const auto growth = [](const ResourceCounts& from, const ResourceCounts& to) {
    return to.heapBytes > from.heapBytes ? to.heapBytes - from.heapBytes : 0;
  };
  EXPECT_LE(std::min(growth(before, middle), growth(middle, after)), HEAP_TOLERANCE);
}

// The counts see what they count: held memory, a running thread, an open
// descriptor and an open event all show up.
TEST(Endurance, TheCountsSeeWhatIsHeld) {
  // A sanitizer's runtime starts a thread of its own with the first thread
  // of the process: that one is made now, before counting.
  std::thread([] {}).join();
  const ResourceCounts before = CountResources();
  std::vector<std::unique_ptr<char[]>> held;
  for (int i = 0; i < RUNS; ++i) held.push_back(std::make_unique<char[]>(64));
  std::atomic<bool> release{false};
  std::thread waiting([&] {
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::FILE* file = std::fopen("/proc/self/status", "r");
  const EventHandle event = SystemEvents().CreateEvent();
  const ResourceCounts during = CountResources();
  release = true;
  waiting.join();
  std::fclose(file);
  SystemEvents().CloseHandle(event);

  EXPECT_EQ(during.threads, before.threads + 1);
  EXPECT_EQ(during.descriptors, before.descriptors + 1);
  EXPECT_EQ(during.events, before.events + 1);
  // Some blocks may come out of a thread cache that already counted as in use.
  EXPECT_GE(during.heapBytes, before.heapBytes + RUNS * 64 / 2);
}

}  // namespace
}  // namespace reliability
