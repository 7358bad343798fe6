// Drives that lie, as a careful flasher expects them to: a command reported
// done that was never carried out, data that changes on its way to the drive.
// The drive's own checks (the checksum check and the compare at
// flash-mode-off) must catch every lie, and the run must fail at that check.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/reliability/fault_plan.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;

constexpr uint8_t MISCOMPARE = 0x0E;       // checksum or compare mismatch
constexpr uint8_t ILLEGAL_REQUEST = 0x05;  // a checksum check before the whole unit arrived
constexpr StatusMsg FLASHING_ERROR = StatusMsg::FlashingError;
constexpr StatusMsg COMPARING_ERROR = StatusMsg::ComparingError;

// The failing check of a unit: its checksum check or its flash-mode-off.
std::size_t CheckOf(CommandKind check, uint8_t unit) { return PositionsOf(check, unit).at(0); }

Expectation FailsAt(std::size_t position, StatusMsg status, uint8_t senseByte2) {
  Expectation e;
  e.sent = SoundRunUpTo(position);
  e.status = status;
  e.lastSenseKey = senseByte2;
  return e;
}

RunOutcome RunWith(ProgramRig& rig, const FaultRule& rule) {
  rig.Start();
  EXPECT_TRUE(rig.form().Button1.Enabled());
  FaultRule positioned = rule;
  positioned.nth += rig.injector().ArrivedTotal();
  rig.injector().AddRule(positioned);
  return rig.Run();
}

TEST(LyingDrive, UploadsKeptOnlyForTheChecksumAreCaughtAtFlashModeOff) {
  const Expectation expected = FailsAt(CheckOf(CommandKind::FlashOff, 0), COMPARING_ERROR, MISCOMPARE);
  ProgramRig rig(RigOptions{.drives = 1});
  rig.drive().SetLosesUploadedData(true);
  rig.Start();
  const RunOutcome outcome = rig.Run();
  ExpectOutcome(outcome, rig.program().channel.lastSenseKey.load(), expected);
}

struct LieCase {
  const char* name;
  FaultAction action;  // AcknowledgeOnly or FlipBit
  CommandKind kind;    // the command lied about
  uint8_t unit;
  CommandKind check;  // where the unit's lie must surface
  StatusMsg status;
  uint8_t senseByte2;
};
void PrintTo(const LieCase& c, std::ostream* os) { *os << c.name; }

class LyingCommand : public ::testing::TestWithParam<LieCase> {};

// Each command of the kind in turn is the one lied about.
TEST_P(LyingCommand, IsCaughtByTheUnitsOwnCheck) {
  const LieCase& c = GetParam();
  const std::size_t check = CheckOf(c.check, c.unit);
  for (const std::size_t position : PositionsOf(c.kind, c.unit)) {
    SCOPED_TRACE("lie at command " + std::to_string(position));
    const Expectation expected = FailsAt(check, c.status, c.senseByte2);
    ProgramRig rig(RigOptions{.drives = 1});
    FaultRule rule = FaultRule::Act(std::nullopt, static_cast<uint32_t>(position) + 1, c.action);
    // A different bit each time, through the whole block.
    rule.bitIndex = static_cast<uint32_t>(position) * 7919u;
    const RunOutcome outcome = RunWith(rig, rule);
    ExpectOutcome(outcome, rig.program().channel.lastSenseKey.load(), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lies, LyingCommand,
    ::testing::Values(LieCase{"ProgramNotDoneUnit0", FaultAction::AcknowledgeOnly, CommandKind::Program, 0,
                              CommandKind::FlashOff, COMPARING_ERROR, MISCOMPARE},
                      LieCase{"ProgramNotDoneUnit1", FaultAction::AcknowledgeOnly, CommandKind::Program, 1,
                              CommandKind::FlashOff, COMPARING_ERROR, MISCOMPARE},
                      LieCase{"EraseNotDoneUnit0", FaultAction::AcknowledgeOnly, CommandKind::Erase, 0,
                              CommandKind::FlashOff, COMPARING_ERROR, MISCOMPARE},
                      LieCase{"EraseUnitNotDone", FaultAction::AcknowledgeOnly, CommandKind::EraseUnit, 1,
                              CommandKind::FlashOff, COMPARING_ERROR, MISCOMPARE},
                      // An upload that never arrived leaves a hole the checksum check refuses to sum.
                      LieCase{"UploadNotDoneUnit0", FaultAction::AcknowledgeOnly, CommandKind::Upload, 0,
                              CommandKind::Verify, FLASHING_ERROR, ILLEGAL_REQUEST},
                      LieCase{"UploadNotDoneUnit1", FaultAction::AcknowledgeOnly, CommandKind::Upload, 1,
                              CommandKind::Verify, FLASHING_ERROR, ILLEGAL_REQUEST},
                      LieCase{"UploadBitFlippedUnit0", FaultAction::FlipBit, CommandKind::Upload, 0,
                              CommandKind::Verify, FLASHING_ERROR, MISCOMPARE},
                      LieCase{"UploadBitFlippedUnit1", FaultAction::FlipBit, CommandKind::Upload, 1,
                              CommandKind::Verify, FLASHING_ERROR, MISCOMPARE}),
    [](const auto& info) { return std::string(info.param.name); });

// A bit flipped in the family reply at start-up: a drive whose reply no
// longer begins with the family tag is not offered for flashing.
class FlippedFamilyReply : public ::testing::TestWithParam<uint32_t> {};

TEST_P(FlippedFamilyReply, HidesTheDriveOnlyWhenTheTagIsHit) {
  const uint32_t bit = GetParam();
  ProgramRig rig(RigOptions{.drives = 1});
  rig.injector().AddRule(FaultRule::Flip(CommandKind::Read, 1, bit));
  TForm1& form = rig.Start();
  const bool tagHit = bit < 32;
  EXPECT_EQ(form.ComboBox1.ItemCount(), tagHit ? 0 : 1);
  EXPECT_EQ(form.Button1.Enabled(), !tagHit);
  EXPECT_EQ(rig.program().status.StatusCode(), StatusMsg(tagHit ? 16 : 12));
}

INSTANTIATE_TEST_SUITE_P(Bits, FlippedFamilyReply, ::testing::Values(0u, 7u, 8u, 20u, 31u, 32u, 255u));

}  // namespace
}  // namespace reliability
