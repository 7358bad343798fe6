// The faults a run can meet at one of its commands, how to arm them in a
// ProgramRig, and what the run must then end as, worked out from the
// operator-visible rules alone: a failed command ends the run with "Flashing
// Error" (status 3), or "Comparing Error" (status 7) when it switched flash
// mode off; nothing more reaches the drive; a sense key of 8, 9, 10, 12, 13 or
// 15 raises one "Reserved" box; only a failure of unit 1's first
// flash-mode-on is treated otherwise (repeated once when the whole sense byte
// is 06, else passed over).
// The commands a run sends are taken from a sound run of the same rig
// (ReferenceRun), whose shape is checked against the fixed step counts.
// Threads: test thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/window/program_rig.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;

enum class FaultKind {
  CheckCondition,      // CHECK CONDITION with a chosen sense byte 2
  Busy,                // BUSY status, no sense
  NoCompletion,        // the drive never answers; the program's wait runs out
  LateCompletion,      // the drive answers, but only after the program's wait
  PassThroughFailure,  // every pass-through call carrying the command fails
};

struct Fault {
  FaultKind kind = FaultKind::CheckCondition;
  uint8_t senseByte2 = 0;  // CheckCondition only
};

std::string FaultName(const Fault& fault);

// Sense bytes 2 that every sweep covers: every key, and keys with the
// filemark, end-of-medium, incorrect-length and reserved bits beside them.
const std::vector<uint8_t>& SenseBytesToTry();
bool RaisesReservedBox(uint8_t senseByte2);

// The run's first flash-mode-on for unit 1, in the sound run without the repeat.
inline constexpr std::size_t FIRST_FLASH_ON_UNIT1 = 43;
inline constexpr std::size_t COMMANDS_IN_SOUND_RUN = 61;
// The program waits this much longer than its wait for a late answer.
inline constexpr uint32_t LATE_BY_MS = 400;
// The simulator tries each pass-through call this many times.
inline constexpr uint32_t PASS_THROUGH_ATTEMPTS = 10;

// The commands a sound run sends, recorded once per process from a rig with
// or without the drive's unit attention (which adds the repeated
// flash-mode-on). Fails the test when the sound run is not sound.
// Recording builds a rig of its own, and the simulator is one per process:
// everything below that needs the sound run is to be called before the
// case's own rig is built.
const std::vector<TappedCommand>& ReferenceRun(bool unitAttention);

// The first `lastIncluded` + 1 commands of the sound run.
std::vector<TappedCommand> SoundRunUpTo(std::size_t lastIncluded, bool unitAttention = false);
// Positions in the sound run (without the repeat) of the commands of one kind for one unit.
std::vector<std::size_t> PositionsOf(emulator::CommandKind kind, uint8_t unit);

// Arms `fault` for the command at `position` of the rig's next run. The rig
// has been started; the run has not.
void ArmFault(ProgramRig& rig, const Fault& fault, std::size_t position);

struct Expectation {
  std::vector<TappedCommand> sent;  // exactly what reaches the drive
  bool succeeds = false;
  StatusMsg status = StatusMsg::StartFlashing;  // 3, 7, or 8 on success
  int reservedBoxes = 0;
  std::optional<uint8_t> lastSenseKey;  // when the failure fixes it
};

// What a run on a drive with or without unit attention must end as when
// `fault` meets the command at `position`.
Expectation Expect(const Fault& fault, std::size_t position, bool unitAttention);

// Checks every visible and recorded effect of the run against `expected`.
// lastSenseKey is the program's value after the run.
void ExpectOutcome(const RunOutcome& outcome, uint8_t lastSenseKey, const Expectation& expected);

// One whole case: a fresh program on a rig made with `options`, `fault` at
// the command at `position`, the run, and every check above.
void RunWithFault(const Fault& fault, std::size_t position, const RigOptions& options);

}  // namespace reliability
