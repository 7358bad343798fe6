#include "firmware/status_message.h"
#include "tests/reliability/fault_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/messages.h"
#include "transport/aspisim.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;

namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;

constexpr uint8_t PLAIN_UNIT_ATTENTION = 0x06;
// What the drive answers to an upload for a unit whose flash mode is off:
// ILLEGAL REQUEST, with no flag bits.
constexpr uint8_t DRIVE_REFUSAL = 0x05;
constexpr uint8_t STALE_SENSE = 0x5A;

struct Step {
  CommandKind kind;
  uint8_t unit;
  int count;
};

// The shape of every sound run: 43 commands for unit 0, 18 for unit 1 (19
// with the repeated flash-mode-on).
std::vector<Step> SoundShape(bool repeated) {
  std::vector<Step> shape = {{CommandKind::FlashOn, 0, 1},
                             {CommandKind::Upload, 0, 18},
                             {CommandKind::Verify, 0, 1},
                             {CommandKind::Erase, 0, 11},
                             {CommandKind::Program, 0, 11},
                             {CommandKind::FlashOff, 0, 1},
                             {CommandKind::FlashOn, 1, repeated ? 2 : 1},
                             {CommandKind::Upload, 1, 7},
                             {CommandKind::Verify, 1, 1},
                             {CommandKind::EraseUnit, 1, 1},
                             {CommandKind::Program, 1, 7},
                             {CommandKind::FlashOff, 1, 1}};
  return shape;
}

void ExpectSoundShape(const std::vector<TappedCommand>& sent, bool repeated) {
  std::vector<std::pair<CommandKind, uint8_t>> expected;
  for (const Step& step : SoundShape(repeated))
    for (int i = 0; i < step.count; ++i) expected.emplace_back(step.kind, step.unit);
  ASSERT_EQ(sent.size(), expected.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].Kind(), expected[i].first) << "command " << i;
    EXPECT_EQ(sent[i].cdb.at(1) >> 4, expected[i].second) << "command " << i;
  }
}

std::vector<TappedCommand> RecordSoundRun(bool unitAttention) {
  // The simulator is one per process: a second one would take over the
  // first one's worker.
  EXPECT_EQ(ASPISim::Instance(), nullptr) << "record the sound run before building a rig";
  ProgramRig rig(RigOptions{.drives = 1, .unitAttention = unitAttention});
  rig.Start();
  const RunOutcome outcome = rig.Run();
  EXPECT_EQ(outcome.completion, COMPLETION_SUCCESS) << "the sound run failed";
  EXPECT_EQ(outcome.status, StatusMsg::TurnOff);
  ExpectSoundShape(outcome.sent, unitAttention);
  return outcome.sent;
}

std::vector<TappedCommand> Prefix(const std::vector<TappedCommand>& run, std::size_t lastIncluded,
                                  std::optional<std::size_t> missing = std::nullopt) {
  std::vector<TappedCommand> sent;
  for (std::size_t i = 0; i <= lastIncluded && i < run.size(); ++i)
    if (i != missing) sent.push_back(run[i]);
  return sent;
}

std::string Describe(const TappedCommand& c) {
  std::string text(emulator::CommandKindName(c.Kind()));
  char hex[4];
  for (uint8_t b : c.cdb) {
    std::snprintf(hex, sizeof hex, " %02x", b);
    text += hex;
  }
  return text + " len " + std::to_string(c.length);
}

// Unit 1's first flash-mode-on on a drive that would have accepted it.
Expectation ExpectAtFirstFlashOnOfUnit1(const Fault& fault) {
  const auto& run = ReferenceRun(false);
  Expectation e;
  if (fault.kind == FaultKind::CheckCondition && fault.senseByte2 == PLAIN_UNIT_ATTENTION) {
    // Repeated once; the drive takes the repeat and the run goes on to its end.
    e.sent = ReferenceRun(true);
    e.succeeds = true;
    e.status = StatusMsg::TurnOff;
    e.lastSenseKey = PLAIN_UNIT_ATTENTION;
    return e;
  }
  if (fault.kind == FaultKind::LateCompletion) {
    // Passed over; the drive did switch flash mode on, late, so part two goes in.
    e.sent = run;
    e.succeeds = true;
    e.status = StatusMsg::TurnOff;
    e.lastSenseKey = 0;
    return e;
  }
  e.status = StatusMsg::FlashingError;
  if (fault.kind == FaultKind::NoCompletion) {
    // Passed over; the first upload cannot reach the drive that still hangs
    // in the flash-mode-on (the device layer hands a drive one command at a
    // time), and its own wait runs out.
    e.sent = Prefix(run, FIRST_FLASH_ON_UNIT1);
    e.lastSenseKey = 0;
    return e;
  }
  // Passed over; the drive, not in flash mode for unit 1, refuses the first upload.
  const bool reached = fault.kind != FaultKind::PassThroughFailure;
  e.sent = Prefix(run, FIRST_FLASH_ON_UNIT1 + 1,
                  reached ? std::nullopt : std::optional<std::size_t>(FIRST_FLASH_ON_UNIT1));
  e.reservedBoxes = fault.kind == FaultKind::CheckCondition && RaisesReservedBox(fault.senseByte2) ? 1 : 0;
  e.lastSenseKey = DRIVE_REFUSAL;
  return e;
}

}  // namespace

std::string FaultName(const Fault& fault) {
  switch (fault.kind) {
    case FaultKind::CheckCondition: {
      char name[24];
      std::snprintf(name, sizeof name, "CheckCondition%02X", fault.senseByte2);
      return name;
    }
    case FaultKind::Busy:
      return "Busy";
    case FaultKind::NoCompletion:
      return "NoCompletion";
    case FaultKind::LateCompletion:
      return "LateCompletion";
    case FaultKind::PassThroughFailure:
      return "PassThroughFailure";
  }
  return "Unknown";
}

const std::vector<uint8_t>& SenseBytesToTry() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> b;
    for (uint8_t key = 0; key < 16; ++key) b.push_back(key);
    // Filemark 0x80, end-of-medium 0x40, incorrect length 0x20, reserved 0x10.
    for (uint8_t flagged : {0x26, 0xF8, 0x86, 0x4D, 0x1B, 0x20}) b.push_back(flagged);
    return b;
  }();
  return bytes;
}

bool RaisesReservedBox(uint8_t senseByte2) {
  switch (senseByte2 & 0x0F) {
    case 8:
    case 9:
    case 10:
    case 12:
    case 13:
    case 15:
      return true;
    default:
      return false;
  }
}

const std::vector<TappedCommand>& ReferenceRun(bool unitAttention) {
  static std::map<bool, std::vector<TappedCommand>> runs;
  auto found = runs.find(unitAttention);
  if (found == runs.end()) found = runs.emplace(unitAttention, RecordSoundRun(unitAttention)).first;
  return found->second;
}

std::vector<TappedCommand> SoundRunUpTo(std::size_t lastIncluded, bool unitAttention) {
  return Prefix(ReferenceRun(unitAttention), lastIncluded);
}

std::vector<std::size_t> PositionsOf(CommandKind kind, uint8_t unit) {
  const auto& run = ReferenceRun(false);
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < run.size(); ++i)
    if (run[i].Kind() == kind && run[i].cdb.at(1) >> 4 == unit) positions.push_back(i);
  return positions;
}

void ArmFault(ProgramRig& rig, const Fault& fault, std::size_t position) {
  const uint32_t nth = rig.injector().ArrivedTotal() + static_cast<uint32_t>(position) + 1;
  const CommandWaits& waits = rig.program().channel.waits;
  switch (fault.kind) {
    case FaultKind::CheckCondition:
      rig.injector().AddRule(FaultRule::Fail(std::nullopt, nth, fault.senseByte2));
      return;
    case FaultKind::Busy:
      rig.injector().AddRule(FaultRule::Act(std::nullopt, nth, FaultAction::Busy));
      return;
    case FaultKind::NoCompletion:
      rig.injector().AddRule(FaultRule::Act(std::nullopt, nth, FaultAction::NeverComplete));
      return;
    case FaultKind::LateCompletion:
      rig.injector().AddRule(
          FaultRule::DelayBy(std::nullopt, nth, std::max(waits.normalMs, waits.sectorMs) + LATE_BY_MS));
      return;
    case FaultKind::PassThroughFailure:
      // The failures are counted per call: armed while the command before is
      // on its way, they meet exactly the attempts that carry this one.
      if (position == 0) {
        rig.layer.FailPassThrough(FIRST_LETTER, PASS_THROUGH_ATTEMPTS);
        return;
      }
      rig.tap().SetHook([&layer = rig.layer, position](std::size_t at) {
        if (at + 1 == position) layer.FailPassThrough(FIRST_LETTER, PASS_THROUGH_ATTEMPTS);
      });
      return;
  }
}

Expectation Expect(const Fault& fault, std::size_t position, bool unitAttention) {
  if (!unitAttention && position == FIRST_FLASH_ON_UNIT1) return ExpectAtFirstFlashOnOfUnit1(fault);
  const auto& run = ReferenceRun(unitAttention);
  Expectation e;
  const bool reached = fault.kind != FaultKind::PassThroughFailure;
  e.sent = Prefix(run, position, reached ? std::nullopt : std::optional<std::size_t>(position));
  const bool switchesOff = position < run.size() && run[position].Kind() == CommandKind::FlashOff;
  e.status = switchesOff ? StatusMsg::ComparingError : StatusMsg::FlashingError;
  const bool checkCondition = fault.kind == FaultKind::CheckCondition;
  e.reservedBoxes = checkCondition && RaisesReservedBox(fault.senseByte2) ? 1 : 0;
  // Kept whole; every other fault leaves a zeroed sense area.
  e.lastSenseKey = checkCondition ? fault.senseByte2 : 0;
  return e;
}

void ExpectOutcome(const RunOutcome& outcome, uint8_t lastSenseKey, const Expectation& expected) {
  EXPECT_EQ(outcome.sent.size(), expected.sent.size()) << "commands that reached the drive";
  const std::size_t common = std::min(outcome.sent.size(), expected.sent.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (outcome.sent[i] == expected.sent[i]) continue;
    ADD_FAILURE() << "command " << i << " was " << Describe(outcome.sent[i]) << ", expected "
                  << Describe(expected.sent[i]);
    break;
  }
  if (outcome.sent.size() > common)
    ADD_FAILURE() << "after the failure the drive still got " << Describe(outcome.sent[common]);

  EXPECT_EQ(outcome.status, expected.status);
  EXPECT_EQ(outcome.message, StatusText(static_cast<uint8_t>(expected.status), false));
  EXPECT_EQ(outcome.reservedBoxes, expected.reservedBoxes) << "\"Reserved\" boxes";
  if (expected.lastSenseKey) {
    EXPECT_EQ(lastSenseKey, *expected.lastSenseKey) << "last sense key";
  }
  EXPECT_FALSE(outcome.button1Enabled);
  if (expected.succeeds) {
    EXPECT_EQ(outcome.completion, COMPLETION_SUCCESS);
    EXPECT_EQ(outcome.powerOffArmed, POWER_OFF_ARMED);
    EXPECT_TRUE(outcome.button2Enabled);
    EXPECT_EQ(outcome.button2Caption, "Power Off");
    return;
  }
  EXPECT_EQ(outcome.completion, COMPLETION_FAILURE);
  EXPECT_EQ(outcome.powerOffArmed, 0);
  EXPECT_FALSE(outcome.timerEnabled) << "Timer1 still running";
  EXPECT_FALSE(outcome.button2Enabled);
  EXPECT_NE(outcome.button2Caption, "Power Off");
}

void RunWithFault(const Fault& fault, std::size_t position, const RigOptions& options) {
  SCOPED_TRACE("command " + std::to_string(position) + ", " + FaultName(fault) +
               (options.unitAttention ? ", drive with unit attention" : ""));
  const Expectation expected = Expect(fault, position, options.unitAttention);
  RigOptions withDrive = options;
  withDrive.drives = 1;
  ProgramRig rig(withDrive);
  rig.Start();
  ASSERT_TRUE(rig.form().Button1.Enabled()) << "start-up did not offer the flash";
  // Every failure must replace it with its own sense byte.
  rig.program().channel.lastSenseKey = STALE_SENSE;
  ArmFault(rig, fault, position);
  const RunOutcome outcome = rig.Run();
  ExpectOutcome(outcome, rig.program().channel.lastSenseKey.load(), expected);
}

}  // namespace reliability
