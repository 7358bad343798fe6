// Runs that end at a failed command: the status shown, the flags, the progress,
// and that the failed command is the last one the drive ever sees.
#include <gmock/gmock.h>

#include <ostream>

#include "tests/firmware/flash_expected.h"
#include "tests/firmware/flash_rig.h"

namespace flash_tests {
namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;

std::vector<ExpectedCommand> FirstOf(std::vector<ExpectedCommand> run, std::size_t count) {
  run.resize(count);
  return run;
}

FaultRule Twice(FaultRule rule) {
  rule.times = 2;
  return rule;
}

// The run ended as a failure showing `status`: flag 2, progress stopped,
// nothing re-enabled, nothing offered or armed, and the window free to close.
void ExpectFailedRun(FlashRig& rig, StatusMsg status) {
  const auto calls = rig.view.Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), "buttons off");
  EXPECT_THAT(std::vector<std::string>(calls.end() - 2, calls.end()),
              ::testing::ElementsAre("progress stop", Now(status)));
  EXPECT_EQ(rig.run.completion.load(), COMPLETION_FAILURE);
  EXPECT_FALSE(rig.view.FlashEnabled());
  EXPECT_FALSE(rig.view.PowerOffOffered());
  EXPECT_EQ(rig.run.powerOffArmed.load(), 0);
  EXPECT_FALSE(rig.run.runActive.load());
}

struct FailureCase {
  const char* name;
  std::vector<FaultRule> rules;
  bool driveLosesUploads;
  std::size_t commandsSent;  // of the run without a repeated flash-mode-on, unless `repeated`
  bool repeated;
  uint8_t status;  // the StatusMsg shown
};

const FailureCase FAILURES[] = {
    {"FlashOnUnit0", {FaultRule::Fail(CommandKind::FlashOn, 1, 0x02)}, false, AT_FLASH_ON_0 + 1, false, 3},
    {"FirstUpload", {FaultRule::Fail(CommandKind::Upload, 1, 0x05)}, false, AT_FIRST_UPLOAD_0 + 1, false, 3},
    {"LastUploadOfPartOne",
     {FaultRule::Fail(CommandKind::Upload, 18, 0x04)},
     false,
     AT_FIRST_UPLOAD_0 + 18,
     false,
     3},
    {"UploadNeverReachesDrive",
     {FaultRule::Act(CommandKind::Upload, 7, FaultAction::TransportFailure)},
     false,
     AT_FIRST_UPLOAD_0 + 7,
     false,
     3},
    {"VerifyUnit0", {FaultRule::Fail(CommandKind::Verify, 1, 0x0E)}, false, AT_VERIFY_0 + 1, false, 3},
    {"FifthErase", {FaultRule::Fail(CommandKind::Erase, 5, 0x03)}, false, AT_FIRST_ERASE_0 + 5, false, 3},
    {"FirstEraseBusy",
     {FaultRule::Act(CommandKind::Erase, 1, FaultAction::Busy)},
     false,
     AT_FIRST_ERASE_0 + 1,
     false,
     3},
    {"LastProgramOfPartOne",
     {FaultRule::Fail(CommandKind::Program, 11, 0x03)},
     false,
     AT_FIRST_PROGRAM_0 + 11,
     false,
     3},
    {"FlashOffUnit0", {FaultRule::Fail(CommandKind::FlashOff, 1, 0x0E)}, false, AT_FLASH_OFF_0 + 1, false, 7},
    // The drive's own compare at flash-mode-off catches what never reached its programming buffer.
    {"DriveLostUploadedData", {}, true, AT_FLASH_OFF_0 + 1, false, 7},
    {"ThirdUploadOfPartTwo",
     {FaultRule::Fail(CommandKind::Upload, 21, 0x04)},
     false,
     AT_FIRST_UPLOAD_1 + 3,
     false,
     3},
    {"VerifyUnit1", {FaultRule::Fail(CommandKind::Verify, 2, 0x0E)}, false, AT_VERIFY_1 + 1, false, 3},
    {"EraseUnit", {FaultRule::Fail(CommandKind::EraseUnit, 1, 0x03)}, false, AT_ERASE_UNIT_1 + 1, false, 3},
    {"FourthProgramOfPartTwo",
     {FaultRule::Fail(CommandKind::Program, 15, 0x03)},
     false,
     AT_FIRST_PROGRAM_1 + 4,
     false,
     3},
    {"FlashOffUnit1", {FaultRule::Fail(CommandKind::FlashOff, 2, 0x0E)}, false, AT_FLASH_OFF_1 + 1, false, 7},
    // Unit attention on the first flash-mode-on of unit 1 and again on its one repeat.
    {"FlashOnUnit1UnitAttentionTwice",
     {Twice(FaultRule::Fail(CommandKind::FlashOn, 2, 0x06))},
     false,
     AT_FLASH_ON_1 + 2,
     true,
     3},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FlashFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FlashFailureTest, EndsTheRunAtTheFailedCommand) {
  const FailureCase& c = GetParam();
  FlashRig rig;
  for (const FaultRule& rule : c.rules) rig.injector.AddRule(rule);
  rig.drive.SetLosesUploadedData(c.driveLosesUploads);

  ASSERT_TRUE(rig.Run());

  ExpectCommands(rig.Sent(), FirstOf(ExpectedRun(StoredChecksums(rig.container), c.repeated), c.commandsSent),
                 RIG_DRIVE.haId);
  EXPECT_EQ(rig.aspi.Submitted().size(), c.commandsSent);
  ExpectFailedRun(rig, StatusMsg{c.status});
}

INSTANTIATE_TEST_SUITE_P(Steps, FlashFailureTest, ::testing::ValuesIn(FAILURES),
                         [](const auto& info) { return std::string(info.param.name); });

// Unit 1's first flash-mode-on failing with anything but a bare unit
// attention (the sense byte compared whole) is not repeated: the first upload
// of part two follows, and the drive, not in flash mode, refuses it.
class FlashOnPassedOverTest : public ::testing::TestWithParam<uint8_t> {};

TEST_P(FlashOnPassedOverTest, GoesOnToTheFirstUploadOfPartTwo) {
  FlashRig rig;
  rig.injector.AddRule(FaultRule::Fail(CommandKind::FlashOn, 2, GetParam()));

  ASSERT_TRUE(rig.Run());

  ExpectCommands(rig.Sent(),
                 FirstOf(ExpectedRun(StoredChecksums(rig.container), false), AT_FIRST_UPLOAD_1 + 1),
                 RIG_DRIVE.haId);
  EXPECT_EQ(rig.channel().lastSenseKey.load() & 0x0F, 0x05);  // the drive's refusal of the upload
  ExpectFailedRun(rig, StatusMsg::FlashingError);
}

INSTANTIATE_TEST_SUITE_P(SenseBytes, FlashOnPassedOverTest, ::testing::Values(0x02, 0x26, 0x00, 0x16),
                         [](const auto& info) { return "Sense" + std::to_string(info.param); });

// The container changed on disk after the start-up check: the run uploads
// what the file holds now, but names the checksums kept at start-up.
struct DiskChange {
  const char* name;
  std::size_t offset;  // in the container
  std::size_t commandsSent;
  bool succeeds;
};

const DiskChange DISK_CHANGES[] = {
    // The drive sees stored bytes that differ from the checksum it is told.
    {"PartOneChecksum", 0x7AFFE, AT_VERIFY_0 + 1, false},
    {"PartTwoData", 0x7B004 + 0x1234, AT_VERIFY_1 + 1, false},
    // The tags are neither sent nor examined again.
    {"PartOneTag", 0x7B001, COMMANDS_IN_RUN, true},
    {"PartTwoTag", 0x9B007, COMMANDS_IN_RUN, true},
};

void PrintTo(const DiskChange& d, std::ostream* os) { *os << d.name; }

class FlashDiskChangeTest : public ::testing::TestWithParam<DiskChange> {};

TEST_P(FlashDiskChangeTest, SendsTheChecksumsKeptAtStartUp) {
  const DiskChange& d = GetParam();
  FlashRig rig;
  const ExpectedChecksums keptSums = StoredChecksums(rig.container);
  rig.PatchOwnFile(d.offset, static_cast<uint8_t>(rig.container[d.offset] ^ 0x5A));

  ASSERT_TRUE(rig.Run());

  ExpectCommands(rig.Sent(), FirstOf(ExpectedRun(keptSums, false), d.commandsSent), RIG_DRIVE.haId);
  if (d.succeeds) {
    EXPECT_EQ(rig.run.completion.load(), COMPLETION_SUCCESS);
    EXPECT_EQ(rig.view.LastStatus(), StatusMsg::TurnOff);
  } else {
    ExpectFailedRun(rig, StatusMsg::FlashingError);
  }
}

INSTANTIATE_TEST_SUITE_P(Changes, FlashDiskChangeTest, ::testing::ValuesIn(DISK_CHANGES),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flash_tests
