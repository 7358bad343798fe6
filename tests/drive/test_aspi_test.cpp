// The guarantees of the test back-end that the command tests rely on.
#include "tests/support/test_aspi.h"

#include <gtest/gtest.h>

#include <cstring>

#include "emulator/fault_injector.h"
#include "emulator/virtual_drive.h"
#include "platform/event.h"

namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;
using fakes::TestAspi;

// An execute block for FLASH MODE ON of unit 0 with a fresh event.
struct Request {
  SRB_ExecSCSICmd block{};
  EventHandle event = SystemEvents().CreateEvent();
  explicit Request(uint8_t target = 0) {
    block.SRB_Cmd = SC_EXEC_SCSI_CMD;
    block.SRB_Target = target;
    block.SRB_Flags = SRB_EVENT_NOTIFY;
    block.SRB_SenseLen = 16;
    block.SRB_CDBLen = 12;
    block.SRB_PostProc = reinterpret_cast<void*>(event);
    const uint8_t cdb[12] = {0xCC, 0x01, 0x01, 0x00, 'W', '2', '7', '4', 0, 0, 0, 0};
    std::memcpy(block.CDBByte, cdb, sizeof cdb);
  }
  ~Request() { SystemEvents().CloseHandle(event); }
  bool Signalled(uint32_t ms) {
    return SystemEvents().WaitForSingleObject(event, ms) == WaitResult::Signalled;
  }
};

uint32_t Abort(SRB_ExecSCSICmd& block) {
  SRB_Abort abort{};
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_ToAbort = &block;
  return TestAspi::SendASPI32Command(&abort);
}

class TestAspiTest : public ::testing::Test {
 protected:
  TestAspiTest() { aspi.Attach(0, 0, injector); }
  ~TestAspiTest() override { injector.Interrupt(); }
  emulator::VirtualDrive drive;
  emulator::FaultInjector injector{drive};
  TestAspi aspi;
};

TEST_F(TestAspiTest, AnUnservedTargetOrLunIsRefusedAtOnce) {
  Request request(3);
  EXPECT_EQ(TestAspi::SendASPI32Command(&request.block), SS_NO_DEVICE);
  EXPECT_EQ(request.block.SRB_Status, SS_NO_DEVICE);
  Request lun;
  lun.block.SRB_Lun = 1;
  EXPECT_EQ(TestAspi::SendASPI32Command(&lun.block), SS_NO_DEVICE);
  EXPECT_FALSE(drive.InFlashMode(0));
}

TEST_F(TestAspiTest, SenseIsCopiedUpToTheLengthAskedAndNeverPastTheArea) {
  injector.AddRule(FaultRule::Fail(CommandKind::FlashOn, 1, 0x0B));
  injector.AddRule(FaultRule::Fail(CommandKind::FlashOn, 2, 0x0B));
  Request shortSense;
  shortSense.block.SRB_SenseLen = 2;
  TestAspi::SendASPI32Command(&shortSense.block);
  ASSERT_TRUE(shortSense.Signalled(5000));
  EXPECT_EQ(shortSense.block.SRB_Status, SS_ERR);
  EXPECT_EQ(shortSense.block.SRB_TargStat, STATUS_CHKCOND);
  EXPECT_EQ(shortSense.block.SenseArea[0], 0x70);
  EXPECT_EQ(shortSense.block.SenseArea[2], 0);

  Request longSense;
  longSense.block.SRB_SenseLen = 255;
  TestAspi::SendASPI32Command(&longSense.block);
  ASSERT_TRUE(longSense.Signalled(5000));
  EXPECT_EQ(longSense.block.SenseArea[2], 0x0B);
  EXPECT_EQ(longSense.block.SenseArea[12], emulator::INJECTED_ASC);
}

TEST_F(TestAspiTest, AbortingAQueuedRequestMeansItNeverRunsNorSignals) {
  injector.AddRule(FaultRule::Act(CommandKind::FlashOn, 1, FaultAction::NeverComplete));
  Request held, queued;
  TestAspi::SendASPI32Command(&held.block);
  ASSERT_TRUE(injector.WaitUntilHeld(1, 5000));
  TestAspi::SendASPI32Command(&queued.block);
  EXPECT_EQ(Abort(queued.block), SS_COMP);
  injector.ReleaseHeld();
  ASSERT_TRUE(held.Signalled(5000));
  ASSERT_TRUE(aspi.WaitIdle(5000));
  EXPECT_FALSE(queued.Signalled(0));
  EXPECT_EQ(queued.block.SRB_Status, SS_PENDING);
  EXPECT_EQ(injector.ArrivedTotal(), 1u);
}

TEST_F(TestAspiTest, AbortingARunningRequestWaitsForTheDeviceAndDropsItsCompletion) {
  injector.AddRule(FaultRule::DelayBy(CommandKind::FlashOn, 1, 300));
  Request request;
  TestAspi::SendASPI32Command(&request.block);
  EXPECT_FALSE(request.Signalled(50));
  EXPECT_EQ(Abort(request.block), SS_COMP);
  // The device has finished by now, and nothing of its answer came back.
  EXPECT_TRUE(drive.InFlashMode(0));
  EXPECT_EQ(request.block.SRB_Status, SS_PENDING);
  EXPECT_FALSE(request.Signalled(0));
  EXPECT_EQ(aspi.DroppedCompletions(), 1u);
}

TEST_F(TestAspiTest, AbortingABlockItDoesNotHoldIsInvalid) {
  Request never;
  EXPECT_EQ(Abort(never.block), SS_INVALID_SRB);
  Request done;
  TestAspi::SendASPI32Command(&done.block);
  ASSERT_TRUE(done.Signalled(5000));
  ASSERT_TRUE(aspi.WaitIdle(5000));
  EXPECT_EQ(Abort(done.block), SS_INVALID_SRB);
}

SRB_ExecSCSICmd* posted = nullptr;
void Post(void* srb) { posted = static_cast<SRB_ExecSCSICmd*>(srb); }

TEST_F(TestAspiTest, PostingCallsTheRoutineWithTheBlock) {
  Request request;
  request.block.SRB_Flags = SRB_POSTING;
  request.block.SRB_PostProc = reinterpret_cast<void*>(&Post);
  posted = nullptr;
  TestAspi::SendASPI32Command(&request.block);
  ASSERT_TRUE(aspi.WaitIdle(5000));
  EXPECT_EQ(posted, &request.block);
  EXPECT_EQ(request.block.SRB_Status, SS_COMP);
}

}  // namespace
