#include "app/toolkit/thread.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// A one-way gate the test opens to let a run go on.
class Gate {
 public:
  void Open() {
    std::lock_guard guard(lock_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock guard(lock_);
    changed_.wait(guard, [&] { return open_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
};

struct Observations {
  std::atomic<int> runs{0};
  std::atomic<bool> sawTerminated{false};
  std::atomic<bool> destroyed{false};
  Gate release;
};

class ProbeThread : public tk::Thread {
 public:
  explicit ProbeThread(Observations& o) : o_(o) {}
  ~ProbeThread() override {
    WaitFor();
    o_.destroyed = true;
  }

 protected:
  void Execute() override {
    ++o_.runs;
    o_.release.Wait();
    o_.sawTerminated = Terminated();
  }

 private:
  Observations& o_;
};

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

TEST(Thread, CreatedSuspendedRunsOnlyAfterStart) {
  Observations o;
  o.release.Open();
  ProbeThread thread(o);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(o.runs.load(), 0);
  EXPECT_FALSE(thread.Ref().Running());
  ASSERT_TRUE(thread.Start());
  thread.WaitFor();
  EXPECT_EQ(o.runs.load(), 1);
  EXPECT_FALSE(thread.Ref().Running());
}

TEST(Thread, StartingTwiceIsRefused) {
  Observations o;
  o.release.Open();
  ProbeThread thread(o);
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Start());
  thread.WaitFor();
  EXPECT_EQ(o.runs.load(), 1);
}

TEST(Thread, TerminationOnlySetsFlagTheRunMayRead) {
  Observations o;
  ProbeThread thread(o);
  ASSERT_TRUE(thread.Start());
  tk::ThreadRef ref = thread.Ref();
  ASSERT_TRUE(WaitUntil([&] { return o.runs.load() == 1; }));
  ref.Terminate();
  EXPECT_TRUE(thread.Terminated());
  EXPECT_TRUE(ref.Running());  // the run goes on until it returns by itself
  o.release.Open();
  thread.WaitFor();
  EXPECT_TRUE(o.sawTerminated.load());
  EXPECT_FALSE(ref.Running());
}

TEST(Thread, FreeOnTerminateDeletesItselfAndRefsThenCountAsEmpty) {
  Observations o;
  auto* thread = new ProbeThread(o);
  thread->SetFreeOnTerminate(true);
  tk::ThreadRef ref = thread->Ref();
  ASSERT_TRUE(thread->Start());
  thread = nullptr;  // the creator lets go
  ASSERT_TRUE(WaitUntil([&] { return o.runs.load() == 1; }));
  EXPECT_TRUE(ref.Running());
  EXPECT_FALSE(o.destroyed.load());
  o.release.Open();
  ASSERT_TRUE(WaitUntil([&] { return o.destroyed.load() && !ref.Running(); }));
  ref.Terminate();  // must not reach the deleted object
  EXPECT_FALSE(ref.Running());
}

TEST(Thread, ShortFreeRunThatEndsBeforeStartReturnsIsSafe) {
  for (int i = 0; i < 50; ++i) {
    Observations o;
    o.release.Open();
    auto* thread = new ProbeThread(o);
    thread->SetFreeOnTerminate(true);
    tk::ThreadRef ref = thread->Ref();
    ASSERT_TRUE(thread->Start());
    ASSERT_TRUE(WaitUntil([&] { return o.destroyed.load() && !ref.Running(); }));
  }
}

TEST(ThreadRef, EmptyRefIsNotRunning) {
  tk::ThreadRef ref;
  EXPECT_FALSE(ref.Running());
  ref.Terminate();
  EXPECT_FALSE(ref.Running());
}

}  // namespace
