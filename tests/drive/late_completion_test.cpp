// A drive that answers after the command's wait has ended must not reach
// back into the program: no signal of an event that was closed, no status or
// sense landing in the block that the next command of the same kind uses.
#include <gtest/gtest.h>

#include "drive/commands.h"
#include "emulator/fault_injector.h"
#include "emulator/virtual_drive.h"
#include "tests/drive/drive_rig.h"
#include "tests/support/fakes.h"
#include "tests/support/test_aspi.h"

namespace {

using namespace drive_tests;
using emulator::CommandKind;
using emulator::FaultRule;

TEST(LateCompletionTest, ALateSuccessIsDroppedAndTheNextCommandOfTheKindIsClean) {
  DriveRig rig;
  CommandChannel& channel = rig.channel();
  const std::size_t eventsBefore = SystemEvents().OpenCount();
  channel.lastSenseKey = 0x55;
  rig.injector.AddRule(FaultRule::DelayBy(CommandKind::FlashOn, 1, 3 * channel.waits.normalMs));

  EXPECT_EQ(FlashModeOn(channel, RIG_DRIVE, W274, 0), COMMAND_NOT_COMPLETED);
  // The drive did act, late; the program counts the command as failed.
  EXPECT_TRUE(rig.drive.InFlashMode(0));
  EXPECT_EQ(channel.lastSenseKey, 0);
  EXPECT_EQ(rig.aspi.DroppedCompletions(), 1u);

  EXPECT_EQ(FlashModeOff(channel, RIG_DRIVE, W274, 0), COMMAND_COMPLETED);
  ASSERT_TRUE(rig.aspi.WaitIdle(5000));
  EXPECT_EQ(rig.aspi.FailedSignals(), 0u);
  EXPECT_EQ(SystemEvents().OpenCount(), eventsBefore);
  EXPECT_FALSE(rig.drive.InFlashMode(0));
}

// The late answer is a refusal with a key that would raise "Reserved": none
// of it may surface, neither in this command nor in the next of its kind.
TEST(LateCompletionTest, ALateFailureLeavesNoBoxNoSenseAndNoTraceInTheNextCommand) {
  fakes::TestChannel test;
  emulator::VirtualDrive drive;
  emulator::FaultInjector failing(drive);
  failing.AddRule(FaultRule::Fail(CommandKind::Upload, 1, 0x0D));
  emulator::FaultInjector late(static_cast<emulator::ScsiDevice&>(failing));
  late.AddRule(FaultRule::DelayBy(CommandKind::Upload, 1, 3 * test->waits.normalMs));
  fakes::TestAspi aspi;
  aspi.Attach(0, 0, late);
  fakes::TestAspi::InstallInto(test->aspi);
  static uint8_t image[8 * UPLOAD_BLOCK_BYTES];

  ASSERT_EQ(FlashModeOn(*test, {0, 0}, W274, 0), COMMAND_COMPLETED);
  EXPECT_EQ(UploadBlock(*test, {0, 0}, 0x5000, 1, image, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(test->lastSenseKey, 0);
  EXPECT_EQ(UploadBlock(*test, {0, 0}, 0x5000, 1, image, 0), COMMAND_COMPLETED);
  ASSERT_TRUE(aspi.WaitIdle(5000));
  EXPECT_EQ(test->lastSenseKey, 0);
  EXPECT_TRUE(test.dialogs.Boxes().empty());
  EXPECT_EQ(aspi.FailedSignals(), 0u);
  EXPECT_EQ(aspi.DroppedCompletions(), 1u);
  late.Interrupt();
  failing.Interrupt();
}

// Many time-outs in a row, each followed by a command of the same kind, keep
// every result honest: a late answer is never mistaken for the next one.
TEST(LateCompletionTest, AlternatingLateAndPromptAnswersNeverMix) {
  DriveRig rig;
  CommandChannel& channel = rig.channel();
  channel.waits = CommandWaits{100, 100};
  for (uint32_t n = 1; n <= 10; n += 2) rig.injector.AddRule(FaultRule::DelayBy(CommandKind::Verify, n, 300));
  static constexpr uint8_t checksum[2] = {0, 0};
  for (int i = 0; i < 10; ++i) {
    channel.lastSenseKey = 0x55;
    // The drive refuses every checksum check (no flash mode): sense key 5 when
    // the answer is in time, nothing when it is late.
    EXPECT_EQ(VerifyChecksum(channel, RIG_DRIVE, checksum, 0), COMMAND_NOT_COMPLETED) << i;
    EXPECT_EQ(channel.lastSenseKey, i % 2 == 0 ? 0 : 5) << i;
  }
  EXPECT_EQ(rig.aspi.DroppedCompletions(), 5u);
  EXPECT_EQ(rig.aspi.FailedSignals(), 0u);
}

}  // namespace
