#include <gmock/gmock.h>

#include <array>
#include <numeric>

#include "platform/thread.h"
#include "tests/transport/sim_rig.h"
#include "transport/execute.h"

namespace {

using emulator::DataDirection;
using simtest::GuardedSrb;
using simtest::ScopedEvent;
using simtest::SimRig;

class AspiSimExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    device = rig.Place(2);
    rig.Create();
  }
  // Sends the block and waits for its event; false when it never came.
  bool Run(SRB_ExecSCSICmd& srb, const ScopedEvent& done) {
    return ASPISim::SendASPI32Command(&srb) == SS_PENDING && done.Wait(3000);
  }
  SimRig rig;
  std::shared_ptr<simtest::ScriptedDevice> device;
  std::array<uint8_t, 64> buffer{};
};

struct DirectionCase {
  uint8_t flags;
  uint8_t dataIn;
  DataDirection seen;
};
class AspiSimDirection : public AspiSimExecute, public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(AspiSimDirection, OnlyInAloneReadsFromTheDevice) {
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY | GetParam().flags, done.h, 0xCB, buffer.data(), 48);
  ASSERT_TRUE(Run(srb, done));
  const platform::SCSI_PASS_THROUGH_DIRECT sent = rig.recorder.Sent().at(0).sptd;
  EXPECT_EQ(sent.DataIn, GetParam().dataIn);
  EXPECT_EQ(sent.DataTransferLength, 48u);
  // Data to the device comes from the caller's buffer; data from it lands in
  // the worker's own buffer first, out of reach of a call left hanging.
  const bool reads = GetParam().seen == DataDirection::In;
  EXPECT_EQ(sent.DataBuffer == buffer.data(), !reads);
  EXPECT_EQ(sent.TargetId, 1);
  EXPECT_EQ(sent.SenseInfoOffset, platform::SPTD_SENSE_OFFSET);
  EXPECT_EQ(device->Commands().at(0).direction, GetParam().seen);
  EXPECT_EQ(device->Commands().at(0).data == buffer.data(), !reads);
}

INSTANTIATE_TEST_SUITE_P(Flags, AspiSimDirection,
                         ::testing::Values(DirectionCase{SRB_DIR_IN, 1, DataDirection::In},
                                           DirectionCase{SRB_DIR_OUT, 0, DataDirection::Out},
                                           DirectionCase{SRB_DIR_IN | SRB_DIR_OUT, 0, DataDirection::Out},
                                           DirectionCase{0, 0, DataDirection::Out}));

struct SenseCase {
  uint8_t senseLen;
  uint8_t asked;
  std::size_t copied;
};
class AspiSimSense : public AspiSimExecute, public ::testing::WithParamInterface<SenseCase> {};

TEST_P(AspiSimSense, AsksAtMostThirtyTwoAndFillsNoMoreThanTheSenseArea) {
  std::vector<uint8_t> sense(32);
  std::iota(sense.begin(), sense.end(), 0x70);
  device->Answer(emulator::SCSI_CHECK_CONDITION, sense);
  ScopedEvent done;
  GuardedSrb block;
  simtest::FillExecute(block.srb, 0, SRB_EVENT_NOTIFY, done.h, 0xCC);
  block.srb.SRB_SenseLen = GetParam().senseLen;
  std::fill(std::begin(block.srb.SenseArea), std::end(block.srb.SenseArea), 0xEE);
  ASSERT_TRUE(Run(block.srb, done));

  EXPECT_EQ(rig.recorder.Sent().at(0).sptd.SenseInfoLength, GetParam().asked);
  for (std::size_t i = 0; i < SENSE_AREA_LEN; ++i)
    EXPECT_EQ(block.srb.SenseArea[i], i < GetParam().copied ? sense[i] : 0xEE) << i;
  EXPECT_TRUE(block.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(Lengths, AspiSimSense,
                         ::testing::Values(SenseCase{0, 0, 0}, SenseCase{16, 16, 16}, SenseCase{20, 20, 20},
                                           SenseCase{25, 25, 20}, SenseCase{40, 32, 20}));

struct StatusCase {
  uint8_t scsi;
  uint8_t status;
  uint8_t targStat;
};
class AspiSimStatus : public AspiSimExecute, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(AspiSimStatus, AnyNonzeroScsiStatusIsAnErrorWithCheckCondition) {
  device->Answer(GetParam().scsi, {0x70, 0, 0x05});
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY, done.h, 0xCC);
  srb.SRB_HaStat = 0x55;
  ASSERT_TRUE(Run(srb, done));
  EXPECT_EQ(srb.SRB_Status, GetParam().status);
  EXPECT_EQ(srb.SRB_HaStat, HASTAT_OK);
  EXPECT_EQ(srb.SRB_TargStat, GetParam().targStat);
  EXPECT_EQ(srb.SenseArea[2], 0x05);
}

INSTANTIATE_TEST_SUITE_P(Statuses, AspiSimStatus,
                         ::testing::Values(StatusCase{0x00, SS_COMP, 0}, StatusCase{0x02, SS_ERR, 2},
                                           StatusCase{0x08, SS_ERR, 2}, StatusCase{0x18, SS_ERR, 2}));

struct FailureCase {
  uint32_t failures;
  uint32_t calls;
  uint8_t status;
  bool reachedDevice = false;  // failures after the device got the command
};
class AspiSimRetry : public AspiSimExecute, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AspiSimRetry, TriesTenTimesWhileNothingWasSentThenReportsATimedOutBusyAdapter) {
  device->Answer(emulator::SCSI_GOOD, {0x70, 0, 0x06});
  if (GetParam().reachedDevice)
    rig.layer.LoseReplies(2, GetParam().failures);
  else
    rig.layer.FailPassThrough(2, GetParam().failures);
  const uint32_t sleepsBefore = rig.layer.Sleeps();
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY, done.h, 0xCC);
  std::fill(std::begin(srb.SenseArea), std::end(srb.SenseArea), 0xEE);
  ASSERT_TRUE(Run(srb, done));
  EXPECT_EQ(rig.layer.PassThroughCalls(2), GetParam().calls);
  EXPECT_EQ(device->Commands().size(), GetParam().reachedDevice ? 1u : GetParam().status == SS_COMP);
  const uint32_t sleeps = GetParam().reachedDevice ? 0u : std::min(GetParam().failures, 10u);
  EXPECT_EQ(rig.layer.Sleeps() - sleepsBefore, sleeps);
  EXPECT_EQ(srb.SRB_Status, GetParam().status);
  const bool failed = GetParam().status == SS_ABORTED;
  EXPECT_EQ(srb.SRB_HaStat, failed ? HASTAT_TIMEOUT : HASTAT_OK);
  EXPECT_EQ(srb.SRB_TargStat, failed ? STATUS_BUSY : STATUS_GOOD);
  EXPECT_EQ(srb.SenseArea[2], failed ? 0x00 : 0x06);  // zeroed, or the device's
  EXPECT_EQ(srb.SenseArea[16], 0xEE);                 // past the sense length: untouched
}

INSTANTIATE_TEST_SUITE_P(Failures, AspiSimRetry,
                         ::testing::Values(FailureCase{3, 4, SS_COMP}, FailureCase{9, 10, SS_COMP},
                                           FailureCase{10, 10, SS_ABORTED},
                                           FailureCase{emulator::VirtualDeviceLayer::ALWAYS, 10, SS_ABORTED},
                                           FailureCase{1, 1, SS_ABORTED, true}));

TEST_F(AspiSimExecute, TheResidualCountIsWrittenOnlyWhenAskedFor) {
  for (uint8_t residual : {uint8_t{0}, SRB_ENABLE_RESIDUAL_COUNT}) {
    ScopedEvent done;
    SRB_ExecSCSICmd srb{};
    simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY | SRB_DIR_IN | residual, done.h, 0xCC, buffer.data(), 32);
    ASSERT_TRUE(Run(srb, done));
    EXPECT_EQ(srb.SRB_BufLen, residual ? 0u : 32u);
  }
}

struct CdbCase {
  uint8_t length;
  std::size_t sent;
};
class AspiSimCdb : public AspiSimExecute, public ::testing::WithParamInterface<CdbCase> {};

TEST_P(AspiSimCdb, CarriesExactlyTheValidBytes) {
  ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY, done.h, 0xCB);
  std::iota(std::begin(srb.CDBByte), std::end(srb.CDBByte), 0xCB);
  srb.SRB_CDBLen = GetParam().length;
  ASSERT_TRUE(Run(srb, done));
  const platform::SCSI_PASS_THROUGH_DIRECT sent = rig.recorder.Sent().at(0).sptd;
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(sent.Cdb[i], i < GetParam().sent ? srb.CDBByte[i] : 0) << i;
  EXPECT_EQ(device->Commands().at(0).cdb.size(), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(Lengths, AspiSimCdb,
                         ::testing::Values(CdbCase{6, 6}, CdbCase{12, 12}, CdbCase{16, 16}));

struct RefusedCase {
  const char* name;
  std::function<void(SRB_ExecSCSICmd&)> spoil;
  uint32_t returned;
  uint8_t status;
};
class AspiSimRefused : public AspiSimExecute, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(AspiSimRefused, NeverReachesTheQueueOrTheDevice) {
  ScopedEvent done;
  GuardedSrb block;
  simtest::FillExecute(block.srb, 0, SRB_EVENT_NOTIFY, done.h, 0xCC);
  GetParam().spoil(block.srb);
  EXPECT_EQ(ASPISim::SendASPI32Command(&block.srb), GetParam().returned);
  EXPECT_EQ(block.srb.SRB_Status, GetParam().status);
  EXPECT_EQ(rig.sim->QueuedRequests(), 0u);
  EXPECT_FALSE(done.Wait(50));
  EXPECT_EQ(rig.layer.PassThroughCalls(2), 0u);
  EXPECT_TRUE(block.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, AspiSimRefused,
    ::testing::Values(
        RefusedCase{"Target1", [](auto& s) { s.SRB_Target = 1; }, SS_NO_DEVICE, SS_NO_DEVICE},
        RefusedCase{"Lun1", [](auto& s) { s.SRB_Lun = 1; }, SS_NO_DEVICE, SS_NO_DEVICE},
        RefusedCase{"BothNotifications", [](auto& s) { s.SRB_Flags |= SRB_POSTING; }, SS_PENDING,
                    SS_INVALID_SRB},
        RefusedCase{"NoNotification", [](auto& s) { s.SRB_Flags = SRB_DIR_IN; }, SS_PENDING, SS_INVALID_SRB},
        RefusedCase{"Cdb17", [](auto& s) { s.SRB_CDBLen = 17; }, SS_INVALID_SRB, SS_INVALID_SRB}),
    [](const auto& info) { return std::string(info.param.name); });

// The execute protocol of the drive commands, carried by the simulator.
TEST_F(AspiSimExecute, TheExecuteProtocolRunsThroughTheSimulator) {
  AspiEntryPoints aspi;
  aspi.SendASPI32Command = &ASPISim::SendASPI32Command;
  const std::size_t events = SystemEvents().OpenCount();
  static SRB_ExecSCSICmd block;
  ExecRequest request{0, 0, SRB_EVENT_NOTIFY | SRB_DIR_IN, 32, buffer.data(), 12, {0xCC}};
  EXPECT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, request, 3000), ExecResult::Completed);
  device->Answer(emulator::SCSI_CHECK_CONDITION, {0x70, 0, 0x05});
  EXPECT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, request, 3000), ExecResult::NotCompleted);
  EXPECT_EQ(block.SenseArea[2], 0x05);
  EXPECT_EQ(SystemEvents().OpenCount(), events);
}

// A wait of the process that was stopped meanwhile (its `stoppedAt`-th
// slice lasts a stop longer than asked): the answer there after the
// continue counts, and a drive that never answers gets no less than the wait.
constexpr uint32_t kWaitMs = 500;
constexpr uint32_t kStopMs = 1500;
struct StopCase {
  const char* name;
  int stoppedAt;   // 0: never; -1: every slice overruns (a machine loaded past the stop threshold)
  int answeredAt;  // the wait that finds the answer; 0: none does
  ExecResult result;
};

class StoppedEvents final : public EventService {
 public:
  explicit StoppedEvents(const StopCase& c) : c_(c) {}
  EventHandle CreateEvent() override { return 1; }
  bool SetEvent(EventHandle) override { return true; }
  bool ResetEvent(EventHandle) override { return true; }
  WaitResult WaitForSingleObject(EventHandle, uint32_t ms) override {
    if (++waits_ == c_.answeredAt) return WaitResult::Signalled;
    platform::SleepMs(ms + (waits_ == c_.stoppedAt || c_.stoppedAt < 0 ? kStopMs : 0));
    return WaitResult::TimedOut;
  }
  bool CloseHandle(EventHandle) override { return true; }
  std::size_t OpenCount() const override { return 0; }

 private:
  const StopCase& c_;
  int waits_ = 0;
};

class StoppedWait : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppedWait, CountsOnlyTheTimeTheProcessRan) {
  StoppedEvents events(GetParam());
  AspiEntryPoints aspi;
  aspi.SendASPI32Command = [](void* srb) -> uint32_t {
    auto* exec = static_cast<SRB_ExecSCSICmd*>(srb);
    if (exec->SRB_Cmd != SC_EXEC_SCSI_CMD) return SS_COMP;  // the abort
    exec->SRB_Status = SS_COMP;
    return SS_PENDING;
  };
  static SRB_ExecSCSICmd block;
  const uint32_t start = platform::TickMs();
  EXPECT_EQ(ExecuteScsiCommand(aspi, events, block, ExecRequest{}, kWaitMs), GetParam().result);
  if (GetParam().result == ExecResult::NotCompleted) EXPECT_GE(platform::TickMs() - start, kWaitMs);
}

// The process's events, with each command's completion arriving only after
// its first slice of waiting ran out: a command longer than a slice.
class LateCompletions final : public EventService {
 public:
  EventHandle CreateEvent() override { return SystemEvents().CreateEvent(); }
  bool SetEvent(EventHandle h) override { return SystemEvents().SetEvent(h); }
  bool ResetEvent(EventHandle h) override { return SystemEvents().ResetEvent(h); }
  WaitResult WaitForSingleObject(EventHandle h, uint32_t) override {
    const WaitResult result = SystemEvents().WaitForSingleObject(h, 0);
    if (result == WaitResult::TimedOut) SystemEvents().SetEvent(h);
    return result;
  }
  bool CloseHandle(EventHandle h) override { return SystemEvents().CloseHandle(h); }
  std::size_t OpenCount() const override { return SystemEvents().OpenCount(); }
};

// Windows keeps closed events' system objects unless a wait took their one
// signal: long commands must not make them grow with every erase and program.
TEST(LongCommand, GivesItsEventBackForTheNext) {
  LateCompletions events;
  AspiEntryPoints aspi;
  aspi.SendASPI32Command = [](void* srb) -> uint32_t {
    static_cast<SRB_ExecSCSICmd*>(srb)->SRB_Status = SS_COMP;
    return SS_PENDING;
  };
  static SRB_ExecSCSICmd block;
  const std::size_t held = SystemEvents().HeldCount();
  for (int command = 0; command < 20; ++command)
    ASSERT_EQ(ExecuteScsiCommand(aspi, events, block, ExecRequest{}, 3000), ExecResult::Completed);
  EXPECT_LE(SystemEvents().HeldCount(), held + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StoppedWait,
    ::testing::Values(StopCase{"NeverAnswered", 0, 0, ExecResult::NotCompleted},
                      StopCase{"StoppedAndNeverAnswered", 1, 0, ExecResult::NotCompleted},
                      StopCase{"AnsweredAfterAStopPastTheWait", 1, 2, ExecResult::Completed},
                      // The slices granted past the wait are bounded: it ends before the answer.
                      StopCase{"EverySliceOverrunsYetTheWaitEnds", -1, 6, ExecResult::NotCompleted}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
