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

  EXPECT_TRUE(rig.Sent().empty());
  EXPECT_TRUE(rig.aspi.Submitted().empty());
  // Both buttons off, the path shown, and no result: the progress display
  // runs on to its hold point and nothing is offered.
  EXPECT_THAT(rig.view.Calls(), ::testing::ElementsAre("buttons off", Now(StatusMsg::Flashing),
                                                       Now(StatusMsg::CannotOpen), "path " + rig.ownPath));
  EXPECT_FALSE(rig.view.FlashEnabled());
  EXPECT_EQ(rig.run.completion.load(), COMPLETION_NONE);
  EXPECT_EQ(rig.run.powerOffArmed.load(), 0);
  EXPECT_FALSE(rig.run.runActive.load());
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
  ASSERT_TRUE(rig.injector.WaitUntilHeld(1, 10000));

  ASSERT_TRUE(rig.flashThread.Running());
  if (GetParam() == Interference::TerminationRequest) {
    rig.flashThread.Terminate();
  } else {
    rig.run.selectedHaId = OTHER_DRIVE.haId;
    rig.run.selectedTarget = OTHER_DRIVE.target;
  }
  rig.injector.ReleaseHeld();
  ASSERT_TRUE(rig.WaitForEnd());

  const auto sent = rig.Sent();
  ExpectCommands(sent, ExpectedRun(StoredChecksums(rig.container), false), RIG_DRIVE.haId);
  EXPECT_EQ(rig.run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(rig.view.LastStatus(), StatusMsg::TurnOff);
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
