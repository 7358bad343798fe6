#include <gmock/gmock.h>

#include <array>
#include <chrono>
#include <cstring>

#include "platform/lock.h"
#include "tests/support/test_thread.h"
#include "tests/transport/sim_rig.h"
#include "transport/aspisim_queue.h"
#include "transport/execute.h"
#include "transport/stop_polls.h"

namespace {

using simtest::ScopedEvent;
using simtest::SimRig;

constexpr uint8_t kHeldLetter = 0;  // adapter 0
constexpr uint8_t kFreeLetter = 1;  // adapter 1

bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    platform::SleepMs(1);
  }
  return true;
}

// What the post routine saw, per call; it can be made to stay inside.
struct Posted {
  platform::Mutex lock;
  platform::ConditionVariable changed;
  std::vector<std::pair<void*, zx_test::TestThread::Id>> calls;
  uint8_t statusSeen = 0xFF;
  bool hold = false;
};
Posted& PostLog() {
  static Posted log;
  return log;
}
void PostRoutine(void* srb) {
  platform::UniqueLock guard(PostLog().lock);
  PostLog().calls.emplace_back(srb, zx_test::ThisThreadId());
  PostLog().statusSeen = static_cast<SRB_ExecSCSICmd*>(srb)->SRB_Status;
  PostLog().changed.NotifyAll();
  PostLog().changed.Wait(guard, [] { return !PostLog().hold; });
}
std::size_t PostCount() {
  platform::LockGuard guard(PostLog().lock);
  return PostLog().calls.size();
}
void HoldPosting(bool hold) {
  platform::LockGuard guard(PostLog().lock);
  PostLog().hold = hold;
  PostLog().changed.NotifyAll();
}

class AspiSimWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      platform::LockGuard guard(PostLog().lock);
      PostLog().calls.clear();
      PostLog().hold = false;
    }
    held = rig.Place(kHeldLetter);
    free = rig.Place(kFreeLetter);
  }
  // Queues a request on adapter haId that the device tells apart by its opcode.
  uint32_t Queue(SRB_ExecSCSICmd& srb, uint8_t haId, const ScopedEvent& done, uint8_t opcode) {
    simtest::FillExecute(srb, haId, SRB_EVENT_NOTIFY, done.h, opcode);
    return ASPISim::SendASPI32Command(&srb);
  }
  uint32_t Abort(SRB_ExecSCSICmd& srb) {
    SRB_Abort abort{SC_ABORT_SRB, 0, srb.SRB_HaId, 0, 0, &srb};
    const uint32_t returned = ASPISim::SendASPI32Command(&abort);
    EXPECT_EQ(abort.SRB_Status, returned);
    return returned;
  }
  SimRig rig;
  std::shared_ptr<simtest::ScriptedDevice> held, free;
};

TEST_F(AspiSimWorker, RequestsQueuedWhileBusyAllCompleteAfterOneWakeUpInArrivalOrder) {
  rig.Create();
  rig.layer.HoldPassThrough(kHeldLetter);
  std::array<ScopedEvent, 4> done;
  std::array<SRB_ExecSCSICmd, 4> srb{};
  ASSERT_EQ(Queue(srb[0], 0, done[0], 0xC0), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));
  for (uint8_t i = 1; i < 4; ++i) ASSERT_EQ(Queue(srb[i], 0, done[i], 0xC0 + i), SS_PENDING);
  rig.layer.ReleasePassThrough(kHeldLetter);
  for (auto& event : done) EXPECT_TRUE(event.Wait(3000));
  std::vector<uint8_t> order;
  for (const auto& seen : held->Commands()) order.push_back(seen.cdb[0]);
  EXPECT_THAT(order, ::testing::ElementsAre(0xC0, 0xC1, 0xC2, 0xC3));
  for (const auto& block : srb) EXPECT_EQ(block.SRB_Status, SS_COMP);
  // A request leaves the queue just after its completion has been posted.
  EXPECT_TRUE(WaitFor([&] { return rig.sim->QueuedRequests() == 0; }));
}

TEST_F(AspiSimWorker, ThePostRoutineRunsOnTheWorkerWithTheFinishedBlock) {
  rig.Create();
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 1, SRB_POSTING, NO_EVENT, 0xCC);
  srb.SRB_PostProc = reinterpret_cast<void*>(&PostRoutine);
  ASSERT_EQ(ASPISim::SendASPI32Command(&srb), SS_PENDING);
  ASSERT_TRUE(WaitFor([] { return PostCount() == 1; }));
  platform::LockGuard guard(PostLog().lock);
  EXPECT_EQ(PostLog().calls[0].first, &srb);
  EXPECT_EQ(PostLog().calls[0].second, free->Commands().at(0).thread);
  EXPECT_NE(PostLog().calls[0].second, zx_test::ThisThreadId());
  EXPECT_EQ(PostLog().statusSeen, SS_COMP);
  EXPECT_TRUE(rig.starter.SawOnlyAboveNormal());
}

TEST_F(AspiSimWorker, AnAbortedHungRequestStaysPendingAndLaterOnesRunOnANewWorker) {
  rig.Create();
  ScopedEvent first, hung, later;
  SRB_ExecSCSICmd before{}, victim{}, after{};
  ASSERT_EQ(Queue(before, 1, first, 0xC1), SS_PENDING);
  ASSERT_TRUE(first.Wait(3000));
  rig.layer.HoldPassThrough(kHeldLetter);
  ASSERT_EQ(Queue(victim, 0, hung, 0xC2), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));

  EXPECT_EQ(Abort(victim), SS_COMP);
  EXPECT_EQ(rig.starter.Calls(), 2);
  ASSERT_EQ(Queue(after, 1, later, 0xC3), SS_PENDING);
  ASSERT_TRUE(later.Wait(3000));
  EXPECT_NE(free->Commands().at(1).thread, free->Commands().at(0).thread);

  // The given-up call returns: its block must stay as the abort left it.
  held->Answer(emulator::SCSI_CHECK_CONDITION, {0x70, 0, 0x05});
  rig.layer.ReleasePassThrough(kHeldLetter);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  EXPECT_EQ(held->Commands().size(), 1u);
  EXPECT_EQ(victim.SRB_Status, SS_PENDING);
  EXPECT_EQ(victim.SenseArea[2], 0);
  EXPECT_FALSE(hung.Wait(50));
  EXPECT_TRUE(WaitFor([&] { return rig.sim->QueuedRequests() == 0; }));
}

TEST_F(AspiSimWorker, AGivenUpWorkerTakesNoFurtherRequest) {
  rig.starter.Decide([](int call) { return call == 1; });  // no replacement: the old worker is the only one
  rig.Create();
  rig.layer.HoldPassThrough(kHeldLetter);
  ScopedEvent hung, waiting;
  SRB_ExecSCSICmd victim{}, queued{};
  ASSERT_EQ(Queue(victim, 0, hung, 0xC2), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));
  EXPECT_EQ(Abort(victim), SS_COMP);
  EXPECT_EQ(rig.starter.Calls(), 11);  // ten failed attempts at a new worker
  ASSERT_EQ(Queue(queued, 1, waiting, 0xC3), SS_PENDING);

  rig.layer.ReleasePassThrough(kHeldLetter);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  EXPECT_TRUE(free->Commands().empty());
  EXPECT_EQ(queued.SRB_Status, SS_PENDING);
  EXPECT_EQ(victim.SRB_Status, SS_PENDING);
  EXPECT_FALSE(waiting.Wait(50));
  EXPECT_FALSE(hung.Wait(0));
  EXPECT_EQ(rig.sim->QueuedRequests(), 1u);
}

TEST_F(AspiSimWorker, AWorkerBeingStoppedTakesNothingQueuedMeanwhile) {
  rig.starter.Decide([](int call) { return call == 1; });  // no replacement: what it took would be lost
  rig.Create();
  rig.layer.HoldPassThrough(kHeldLetter);
  ScopedEvent hung, waiting;
  SRB_ExecSCSICmd victim{}, queued{};
  ASSERT_EQ(Queue(victim, 0, hung, 0xC2), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));
  zx_test::TestThread abort([&] { EXPECT_EQ(Abort(victim), SS_COMP); });
  ASSERT_TRUE(WaitFor([] { return Companions().stopFlag.load() != 0; }));
  ASSERT_EQ(Queue(queued, 1, waiting, 0xC3), SS_PENDING);
  rig.layer.ReleasePassThrough(kHeldLetter);  // the old worker returns while the abort polls
  abort.join();
  EXPECT_TRUE(free->Commands().empty());
  EXPECT_EQ(rig.sim->QueuedRequests(), 1u);  // still queued for a next worker, not dropped
}

TEST_F(AspiSimWorker, TheRequestAGivenUpWorkerCarriedLeavesTheQueueWithIt) {
  rig.Create();
  rig.layer.HoldPassThrough(kHeldLetter);
  ScopedEvent hung, behind;
  SRB_ExecSCSICmd carried{}, victim{};
  ASSERT_EQ(Queue(carried, 0, hung, 0xC2), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));
  ASSERT_EQ(Queue(victim, 0, behind, 0xC3), SS_PENDING);
  EXPECT_EQ(Abort(victim), SS_COMP);
  EXPECT_EQ(rig.sim->QueuedRequests(), 0u);
  // Its caller's own abort then finds nothing to stop.
  EXPECT_EQ(Abort(carried), SS_INVALID_SRB);
  rig.layer.ReleasePassThrough(kHeldLetter);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  EXPECT_EQ(carried.SRB_Status, SS_PENDING);
  EXPECT_FALSE(hung.Wait(0));
}

TEST_F(AspiSimWorker, AnAbortReachesTheBlocksNewestRequest) {
  rig.Create();
  HoldPosting(true);
  static SRB_ExecSCSICmd block;
  simtest::FillExecute(block, 1, SRB_POSTING, NO_EVENT, 0xC1);
  block.SRB_PostProc = reinterpret_cast<void*>(&PostRoutine);
  ASSERT_EQ(ASPISim::SendASPI32Command(&block), SS_PENDING);
  ASSERT_TRUE(WaitFor([] { return PostCount() == 1; }));
  // Completed and posted, not yet let go of: the caller sends its block again.
  ScopedEvent again;
  ASSERT_EQ(Queue(block, 1, again, 0xC2), SS_PENDING);
  EXPECT_EQ(Abort(block), SS_COMP);
  HoldPosting(false);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  EXPECT_FALSE(again.Wait(100));
  EXPECT_EQ(block.SRB_Status, SS_PENDING);
  EXPECT_EQ(free->Commands().size(), 1u);
}

TEST_F(AspiSimWorker, WithoutAWorkerRequestsWaitInTheQueueAndCanBeAborted) {
  rig.starter.Decide([](int) { return false; });
  rig.Create();
  EXPECT_EQ(rig.starter.Calls(), 10);
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  ASSERT_EQ(Queue(srb, 1, done, 0xCC), SS_PENDING);
  EXPECT_FALSE(done.Wait(50));
  EXPECT_EQ(rig.sim->QueuedRequests(), 1u);
  EXPECT_EQ(Abort(srb), SS_COMP);
  EXPECT_EQ(rig.sim->QueuedRequests(), 0u);
  EXPECT_EQ(srb.SRB_Status, SS_PENDING);
}

TEST_F(AspiSimWorker, TheWorkerMayStartOnTheTenthAttempt) {
  rig.starter.Decide([](int call) { return call == 10; });
  rig.Create();
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  ASSERT_EQ(Queue(srb, 1, done, 0xCC), SS_PENDING);
  EXPECT_TRUE(done.Wait(3000));
  EXPECT_EQ(rig.starter.Calls(), 10);
}

TEST_F(AspiSimWorker, AReplacementWorkerServesWhatWasQueuedBeforeIt) {
  rig.starter.Decide([](int call) { return call > 10; });
  rig.Create();
  ScopedEvent done, unused;
  SRB_ExecSCSICmd srb{}, other{};
  ASSERT_EQ(Queue(srb, 1, done, 0xCC), SS_PENDING);
  ASSERT_EQ(Queue(other, 1, unused, 0xCD), SS_PENDING);
  EXPECT_EQ(Abort(other), SS_COMP);
  EXPECT_TRUE(done.Wait(3000));
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_EQ(free->Commands().size(), 1u);  // the aborted one never ran
}

TEST_F(AspiSimWorker, AWaitThatRunsOutLeavesTheBlockToTheCallerForGood) {
  rig.Create();
  AspiEntryPoints aspi;
  aspi.SendASPI32Command = &ASPISim::SendASPI32Command;
  rig.layer.HoldPassThrough(kHeldLetter);
  static SRB_ExecSCSICmd block;
  ExecRequest request{0, 0, SRB_EVENT_NOTIFY, 0, nullptr, 12, {0xCB}};
  EXPECT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, request, 100), ExecResult::NotCompleted);
  EXPECT_EQ(block.SRB_Status, SS_PENDING);
  // The caller reuses its block at once; the late call must not land in it.
  std::memset(&block, 0x5A, sizeof block);
  rig.layer.ReleasePassThrough(kHeldLetter);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  for (std::size_t i = 0; i < sizeof block; ++i) ASSERT_EQ(reinterpret_cast<uint8_t*>(&block)[i], 0x5A) << i;
}

TEST_F(AspiSimWorker, TeardownGivesUpAHungWorkerAndFreesTheQueue) {
  rig.Create();
  rig.layer.HoldPassThrough(kHeldLetter);
  ScopedEvent hung, queued;
  SRB_ExecSCSICmd victim{}, behind{};
  ASSERT_EQ(Queue(victim, 0, hung, 0xC2), SS_PENDING);
  ASSERT_TRUE(rig.layer.WaitForHeldCall(kHeldLetter, 3000));
  ASSERT_EQ(Queue(behind, 0, queued, 0xC3), SS_PENDING);
  rig.sim.reset();
  EXPECT_EQ(ASPISim::Instance(), nullptr);
  EXPECT_EQ(rig.layer.OpenHandles(), 0u);
  rig.layer.ReleasePassThrough(kHeldLetter);
  ASSERT_TRUE(WaitFor([&] { return rig.starter.Ended() == 1; }));
  EXPECT_EQ(victim.SRB_Status, SS_PENDING);
  EXPECT_EQ(behind.SRB_Status, SS_PENDING);
  EXPECT_FALSE(hung.Wait(0));
  EXPECT_FALSE(queued.Wait(0));
}

TEST_F(AspiSimWorker, ManySubmittersAllGetTheirCompletions) {
  rig.Create();
  constexpr int kThreads = 4, kEach = 25;
  std::atomic<int> completed{0};
  std::vector<zx_test::TestThread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        ScopedEvent done;
        SRB_ExecSCSICmd srb{};
        if (Queue(srb, t % 2, done, 0xCC) == SS_PENDING && done.Wait(3000) && srb.SRB_Status == SS_COMP)
          ++completed;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(completed.load(), kThreads * kEach);
}

// A stopped worker that never ends is waited for 2 s by the clock (4 s with
// the teardown's pauses), whatever the timer's tick makes of each 1 ms wait.
struct CoarseTick {
  uint32_t tickMs;
  bool sleepBetween;
};
class StopPollsByTheClock : public ::testing::TestWithParam<CoarseTick> {};

TEST_P(StopPollsByTheClock, KeepToTheirTimeWhateverTheTick) {
  const CoarseTick tick = GetParam();
  uint32_t now = 0, joins = 0;
  // Each wait lasts at least a whole tick, as on a system with a coarse timer.
  const auto wait = [&](uint32_t ms) { now += ((ms + tick.tickMs - 1) / tick.tickMs) * tick.tickMs; };
  StopPolls limits;
  limits.sleepBetween = tick.sleepBetween;
  const bool ended = PollUntilEnded(limits, {[&](uint32_t ms) { ++joins, wait(ms); return false; }, wait,
                                             [&] { return now; }});
  EXPECT_FALSE(ended);
  const uint32_t allowedMs = tick.sleepBetween ? 4000 : 2000;
  const uint32_t perPollMs = tick.tickMs * (tick.sleepBetween ? 2 : 1);
  EXPECT_GE(now, std::min(allowedMs, 2000 * perPollMs));
  EXPECT_LT(now, allowedMs + perPollMs);
  EXPECT_EQ(joins, std::min<uint32_t>(2000, (allowedMs + perPollMs - 1) / perPollMs));
}

INSTANTIATE_TEST_SUITE_P(Ticks, StopPollsByTheClock,
                         ::testing::Values(CoarseTick{1, false}, CoarseTick{1, true}, CoarseTick{16, false},
                                           CoarseTick{16, true}, CoarseTick{1000, false}));

TEST(StopPolls, AWorkerThatEndsIsNoLongerWaitedFor) {
  uint32_t now = 0, joins = 0;
  EXPECT_TRUE(PollUntilEnded({}, {[&](uint32_t ms) { now += ms; return ++joins == 5; },
                                  [&](uint32_t ms) { now += ms; }, [&] { return now; }}));
  EXPECT_EQ(joins, 5u);
}

}  // namespace
