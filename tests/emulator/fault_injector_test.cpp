#include "emulator/fault_injector.h"

#include <gtest/gtest.h>

#include <chrono>

#include "emulator/command_log.h"
#include "emulator/logging_device.h"
#include "emulator/sense_data.h"
#include "emulator/virtual_drive.h"
#include "tests/emulator/drive_script.h"
#include "tests/support/test_thread.h"

namespace {

using namespace drive_script;
using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultInjector;
using emulator::FaultRule;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// drive <- log <- injector: the log shows what got past the injector.
class FaultInjectorTest : public ::testing::Test {
 protected:
  emulator::VirtualDrive drive;
  emulator::CommandLog reached;
  emulator::LoggingDevice tap{drive, reached, 0};
  FaultInjector injector{tap};
  DriveScript script{injector};
  std::vector<uint8_t> part1 = MakePart(PART1_BYTES, 7);
};

class InjectedSenseTest : public FaultInjectorTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(InjectedSenseTest, TheNthCommandOfAKindFailsWithTheChosenByteAndNeverReachesTheDrive) {
  injector.AddRule(FaultRule::Fail(CommandKind::Upload, 3, GetParam()));
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(Good(script.Upload(0, 0x5000, part1.data(), 1)));
  ASSERT_TRUE(Good(script.Upload(0, 0x6000, part1.data() + 0x1000, 1)));
  const Answer failed = script.Upload(0, 0x7000, part1.data() + 0x2000, 1);
  EXPECT_TRUE(Good(script.Upload(0, 0x7000, part1.data() + 0x2000, 1)));

  ASSERT_TRUE(failed.delivered);
  EXPECT_EQ(failed.reply.status, emulator::SCSI_CHECK_CONDITION);
  EXPECT_EQ(failed.reply.sense[0], 0x70);
  EXPECT_EQ(SenseByte2(failed), GetParam());
  EXPECT_EQ(Asc(failed), emulator::INJECTED_ASC);
  EXPECT_EQ(injector.Arrived(CommandKind::Upload), 4u);
  EXPECT_EQ(reached.Size(), 4u);  // flash-on and three of the four uploads
}

INSTANTIATE_TEST_SUITE_P(SenseBytes, InjectedSenseTest,
                         ::testing::Values(0x00, 0x02, 0x06, 0x0D, 0x26, 0xF6, 0xFF));

TEST_F(FaultInjectorTest, TheNthCommandOverallCountsEveryKind) {
  injector.AddRule(FaultRule::Fail(std::nullopt, 2, 0x03));
  uint8_t reply[2048];
  EXPECT_TRUE(Good(script.Read(0x4500, 32, reply)));
  EXPECT_EQ(SenseByte2(script.FlashOn(0)), 0x03);
  EXPECT_TRUE(Good(script.FlashOn(0)));
  EXPECT_EQ(injector.ArrivedTotal(), 3u);
  EXPECT_EQ(injector.Forwarded(), 2u);
}

TEST_F(FaultInjectorTest, ARuleCanCoverSeveralOrAllLaterCommands) {
  FaultRule twice = FaultRule::Fail(CommandKind::FlashOn, 2, 0x06);
  twice.times = 2;
  injector.AddRule(twice);
  FaultRule always = FaultRule::Act(CommandKind::Inquiry, 1, FaultAction::TransportFailure);
  always.times = 0;
  injector.AddRule(always);

  EXPECT_TRUE(Good(script.FlashOn(0)));
  EXPECT_EQ(SenseByte2(script.FlashOn(0)), 0x06);
  EXPECT_EQ(SenseByte2(script.FlashOn(0)), 0x06);
  EXPECT_TRUE(Good(script.FlashOn(0)));
  uint8_t reply[36];
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(script.Inquiry(36, reply, 36).delivered);
}

TEST_F(FaultInjectorTest, BusyAnswersWithoutSense) {
  injector.AddRule(FaultRule::Act(CommandKind::Verify, 1, FaultAction::Busy));
  const Answer answer = script.Verify(0, 1, 2);
  ASSERT_TRUE(answer.delivered);
  EXPECT_EQ(answer.reply.status, emulator::SCSI_BUSY);
  EXPECT_EQ(answer.reply.senseLen, 0);
  EXPECT_EQ(reached.Size(), 0u);
}

TEST_F(FaultInjectorTest, TransportFailureReturnsFalseAndSendsNothing) {
  injector.AddRule(FaultRule::Act(CommandKind::FlashOn, 1, FaultAction::TransportFailure));
  EXPECT_FALSE(script.FlashOn(0).delivered);
  EXPECT_FALSE(drive.InFlashMode(0));
  EXPECT_EQ(reached.Size(), 0u);
}

TEST_F(FaultInjectorTest, AHeldCommandGoesToTheDriveOnlyWhenReleased) {
  injector.AddRule(FaultRule::Act(CommandKind::FlashOn, 1, FaultAction::NeverComplete));
  auto answer = zx_test::RunAsync([&] { return script.FlashOn(0); });
  ASSERT_TRUE(injector.WaitUntilHeld(1, 5000));
  EXPECT_FALSE(answer.ReadyWithin(100));
  EXPECT_FALSE(drive.InFlashMode(0));
  injector.ReleaseHeld();
  EXPECT_TRUE(Good(answer.get()));
  EXPECT_TRUE(drive.InFlashMode(0));
  EXPECT_EQ(injector.Held(), 0u);
}

// Interrupt ends a held command and every later one; DropHeld (a reset
// taking the command back) only the held one.
class HeldEndTest : public FaultInjectorTest, public ::testing::WithParamInterface<bool> {};

TEST_P(HeldEndTest, EndsAHeldCommandAsATransportFailure) {
  const bool dropped = GetParam();
  injector.AddRule(FaultRule::Act(CommandKind::FlashOn, 1, FaultAction::NeverComplete));
  auto answer = zx_test::RunAsync([&] { return script.FlashOn(0); });
  ASSERT_TRUE(injector.WaitUntilHeld(1, 5000));
  dropped ? injector.DropHeld() : injector.Interrupt();
  EXPECT_FALSE(answer.get().delivered);
  EXPECT_FALSE(drive.InFlashMode(0));
  EXPECT_EQ(script.FlashOn(0).delivered, dropped);
  EXPECT_EQ(drive.InFlashMode(0), dropped);
}

INSTANTIATE_TEST_SUITE_P(InterruptOrDrop, HeldEndTest, ::testing::Bool());

TEST(FaultInjectorLifetimeTest, DestroyingTheInjectorReleasesACommandBlockedInIt) {
  emulator::VirtualDrive drive;
  auto injector = std::make_unique<FaultInjector>(drive);
  injector->AddRule(FaultRule::Act(std::nullopt, 1, FaultAction::NeverComplete));
  DriveScript script(*injector);
  auto answer = zx_test::RunAsync([&] { return script.FlashOn(0); });
  ASSERT_TRUE(injector->WaitUntilHeld(1, 5000));
  injector.reset();
  EXPECT_FALSE(answer.get().delivered);
}

TEST_F(FaultInjectorTest, ADelayedCommandCompletesLateAndAnInterruptCutsTheDelayShort) {
  injector.AddRule(FaultRule::DelayBy(CommandKind::FlashOn, 1, 300));
  injector.AddRule(FaultRule::DelayBy(CommandKind::FlashOff, 1, 60000));
  Clock::time_point start = Clock::now();
  EXPECT_TRUE(Good(script.FlashOn(0)));
  EXPECT_GE(MsSince(start), 300);

  auto off = zx_test::RunAsync([&] { return script.FlashOff(0); });
  EXPECT_FALSE(off.ReadyWithin(100));
  start = Clock::now();
  injector.Interrupt();
  EXPECT_FALSE(off.get().delivered);
  EXPECT_LT(MsSince(start), 30000);
  EXPECT_TRUE(drive.InFlashMode(0));
}

TEST_F(FaultInjectorTest, LatencyIsPerKindAndScaled) {
  injector.SetLatency(CommandKind::Read, 400);
  injector.SetLatencyScale(0.5);
  uint8_t reply[2048];
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(Good(script.Read(0x4500, 32, reply)));
  EXPECT_GE(MsSince(start), 200);

  injector.SetLatency(CommandKind::Read, 60000);
  injector.SetLatencyScale(0);
  start = Clock::now();
  ASSERT_TRUE(Good(script.Read(0x4500, 32, reply)));
  ASSERT_TRUE(Good(script.FlashOn(0)));
  EXPECT_LT(MsSince(start), 30000);
}

TEST_F(FaultInjectorTest, AnUnstoredProgramEndsInACompareFailure) {
  injector.AddRule(FaultRule::Act(CommandKind::Program, 5, FaultAction::AcknowledgeOnly));
  const Answer off = script.StageOne(part1);
  EXPECT_EQ(SenseByte2(off), emulator::SENSE_KEY_MISCOMPARE);
  EXPECT_EQ(Asc(off), 0x1D);
  EXPECT_EQ(Ascq(off), 0x00);
  // The sector of the fifth mask (0x0002) was erased and never written.
  EXPECT_EQ(drive.ReadFlash(0x10000, 0x10000), std::vector<uint8_t>(0x10000, 0xFF));
}

TEST_F(FaultInjectorTest, AnUnstoredUploadIsCaughtByTheChecksumCheck) {
  injector.AddRule(FaultRule::Act(CommandKind::Upload, 7, FaultAction::AcknowledgeOnly));
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(script.UploadPartOne(part1));  // every upload acknowledged
  const Answer verify = script.VerifyPart(0, part1);
  EXPECT_EQ(SenseByte2(verify), emulator::SENSE_KEY_ILLEGAL_REQUEST);
  EXPECT_EQ(Asc(verify), 0x2C);  // a block never arrived
}

class FlipBitTest : public FaultInjectorTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(FlipBitTest, ABitFlippedInTransitFailsTheChecksumCheckAndLeavesTheCallersDataAlone) {
  const std::vector<uint8_t> original = part1;
  injector.AddRule(FaultRule::Flip(CommandKind::Upload, 18, GetParam()));
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(script.UploadPartOne(part1));
  const Answer verify = script.VerifyPart(0, part1);
  EXPECT_EQ(SenseByte2(verify), emulator::SENSE_KEY_MISCOMPARE);
  EXPECT_EQ(Asc(verify), 0x1D);
  EXPECT_EQ(part1, original);
  // The log shows the data as it reached the drive, not as it was sent.
  const auto last = reached.Entries().back();
  const std::vector<uint8_t> block(part1.end() - 0x8000, part1.end());
  EXPECT_NE(*last.sentDigest, emulator::Sha256Of(block.data(), block.size()));
}

// First byte, a data byte, the checksum's last bit, and an index that wraps.
INSTANTIATE_TEST_SUITE_P(Bits, FlipBitTest,
                         ::testing::Values(0u, 8 * 1000 + 3, 8 * 0x8000 - 1, 8 * 0x8000 + 9));

TEST_F(FaultInjectorTest, FlippingABitOfAReplyChangesWhatTheCallerReads) {
  injector.AddRule(FaultRule::Flip(CommandKind::Read, 1, 8 * 2 + 1));
  uint8_t reply[2048] = {};
  ASSERT_TRUE(Good(script.Read(0x4500, 32, reply)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "R5:0");  // byte 2, '8' ^ 0x02 = ':'
}

}  // namespace
