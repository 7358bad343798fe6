// The run as a whole: an own file that can no longer be read, and what the
// window may do while a run is under way.
#include <gmock/gmock.h>

#include <filesystem>

#include "tests/firmware/flash_expected.h"
#include "tests/firmware/flash_rig.h"

namespace flash_tests {
namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;

enum class FileLoss { Deleted, Truncated, ReplacedByFolder };

class FlashOwnFileTest : public ::testing::TestWithParam<FileLoss> {};

TEST_P(FlashOwnFileTest, UnreadableOwnFileEndsTheRunBeforeAnyCommand) {
  FlashRig rig;
  std::filesystem::remove(rig.ownPath);
  if (GetParam() == FileLoss::Truncated) {
    container_test::WriteBytes(rig.ownPath, container_test::FakeExecutable(EXECUTABLE_SIZE + 1000));
  } else if (GetParam() == FileLoss::ReplacedByFolder) {
    std::filesystem::create_directory(rig.ownPath);
  }

  ASSERT_TRUE(rig.Run());

  Program& p = rig.program();
  EXPECT_TRUE(rig.Sent().empty());
  EXPECT_TRUE(rig.aspi.Submitted().empty());
  EXPECT_EQ(p.status.StatusCode(), 10);
  EXPECT_EQ(rig.form.RichEdit1.Text(), "Cannot open the file.");
  EXPECT_EQ(rig.form.Label13.Caption(), rig.ownPath);
  EXPECT_FALSE(rig.form.Button1.Enabled());
  EXPECT_FALSE(rig.form.Button2.Enabled());
  // No result: the progress display runs on to its hold point.
  EXPECT_EQ(p.run.completion.load(), COMPLETION_NONE);
  EXPECT_TRUE(rig.form.Timer1.Enabled());
  EXPECT_EQ(p.run.powerOffArmed.load(), 0);
  EXPECT_FALSE(p.run.runActive.load());
}

INSTANTIATE_TEST_SUITE_P(Losses, FlashOwnFileTest,
                         ::testing::Values(FileLoss::Deleted, FileLoss::Truncated,
                                           FileLoss::ReplacedByFolder),
                         [](const auto& info) {
                           switch (info.param) {
                             case FileLoss::Deleted:
                               return "Deleted";
                             case FileLoss::Truncated:
                               return "Truncated";
                             case FileLoss::ReplacedByFolder:
                               return "ReplacedByFolder";
                           }
                           return "Unknown";
                         });

// Something the window does while a command of the run is held in the drive.
enum class Interference { TerminationRequest, OtherDrivePicked };

class FlashInterferenceTest : public ::testing::TestWithParam<Interference> {};

TEST_P(FlashInterferenceTest, RunGoesOnToTheSameDriveUntilItsEnd) {
  FlashRig rig;
  rig.injector.AddRule(FaultRule::Act(CommandKind::Upload, 3, FaultAction::NeverComplete));
  rig.StartRun();
  ASSERT_TRUE(rig.WaitUntilHeld(1));

  ASSERT_TRUE(rig.form.flashThread.Running());
  if (GetParam() == Interference::TerminationRequest) {
    rig.form.flashThread.Terminate();
  } else {
    rig.program().run.selectedHaId = OTHER_DRIVE.haId;
    rig.program().run.selectedTarget = OTHER_DRIVE.target;
  }
  rig.injector.ReleaseHeld();
  ASSERT_TRUE(rig.WaitForEnd());

  const auto sent = rig.Sent();
  ExpectCommands(sent, ExpectedRun(StoredChecksums(rig.container), false), RIG_DRIVE.haId);
  EXPECT_EQ(rig.program().run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(rig.program().status.StatusCode(), 8);
  EXPECT_FALSE(rig.otherDrive.InFlashMode(0));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FlashInterferenceTest,
                         ::testing::Values(Interference::TerminationRequest, Interference::OtherDrivePicked),
                         [](const auto& info) {
                           return info.param == Interference::TerminationRequest ? "TerminationRequest"
                                                                                 : "OtherDrivePicked";
                         });

}  // namespace
}  // namespace flash_tests
