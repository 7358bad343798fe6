// Every command of a run meets a fault, and the run must end as the operator
// is promised: the right message, the completion flag, the timer and buttons
// as a failed run leaves them, the "Reserved" box when the sense key asks for
// one, and not one command more at the drive. Each case is a fresh program
// with start-up, over the simulator and one virtual drive.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/reliability/fault_plan.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

void RunOne(const Fault& fault, std::size_t position, bool unitAttention) {
  RunWithFault(fault, position, RigOptions{.unitAttention = unitAttention});
}

// Every command of the run, unit by unit, with one kind of fault. A CHECK
// CONDITION takes a different sense byte at each command, so that every key
// and flag combination meets several kinds of command.
struct EveryCommandCase {
  const char* name;
  FaultKind kind;
  std::size_t first, last;  // positions in the sound run
};
void PrintTo(const EveryCommandCase& c, std::ostream* os) { *os << c.name; }

class EveryCommand : public ::testing::TestWithParam<EveryCommandCase> {};

TEST_P(EveryCommand, EndsTheRunAtTheFaultyCommand) {
  const EveryCommandCase& c = GetParam();
  const auto& bytes = SenseBytesToTry();
  for (std::size_t position = c.first; position <= c.last; ++position) {
    const Fault fault{c.kind, bytes[position % bytes.size()]};
    RunOne(fault, position, false);
    if (HasFatalFailure()) return;
  }
}

constexpr std::size_t LAST_OF_UNIT0 = FIRST_FLASH_ON_UNIT1 - 1;
constexpr std::size_t LAST_OF_RUN = COMMANDS_IN_SOUND_RUN - 1;

INSTANTIATE_TEST_SUITE_P(
    Kinds, EveryCommand,
    ::testing::Values(
        EveryCommandCase{"CheckConditionUnit0", FaultKind::CheckCondition, 0, LAST_OF_UNIT0},
        EveryCommandCase{"CheckConditionUnit1", FaultKind::CheckCondition, FIRST_FLASH_ON_UNIT1, LAST_OF_RUN},
        EveryCommandCase{"BusyUnit0", FaultKind::Busy, 0, LAST_OF_UNIT0},
        EveryCommandCase{"BusyUnit1", FaultKind::Busy, FIRST_FLASH_ON_UNIT1, LAST_OF_RUN},
        EveryCommandCase{"PassThroughFailureUnit0", FaultKind::PassThroughFailure, 0, LAST_OF_UNIT0},
        EveryCommandCase{"PassThroughFailureUnit1", FaultKind::PassThroughFailure, FIRST_FLASH_ON_UNIT1,
                         LAST_OF_RUN}),
    [](const auto& info) { return std::string(info.param.name); });

// Every sense byte at the commands where the key decides most: the first
// command of the run, both flash-mode-offs (Comparing Error), unit 1's first
// flash-mode-on (repeated only for a plain unit attention) and, on a drive
// that reports unit attention itself, the repeat.
class EverySenseByte : public ::testing::TestWithParam<uint8_t> {};

TEST_P(EverySenseByte, DecidesTheBoxAndTheRepeat) {
  const Fault fault{FaultKind::CheckCondition, GetParam()};
  for (const std::size_t position : {std::size_t{0}, LAST_OF_UNIT0, FIRST_FLASH_ON_UNIT1, LAST_OF_RUN}) {
    RunOne(fault, position, false);
    if (HasFatalFailure()) return;
  }
  RunOne(fault, FIRST_FLASH_ON_UNIT1 + 1, true);
}

INSTANTIATE_TEST_SUITE_P(Bytes, EverySenseByte, ::testing::ValuesIn(SenseBytesToTry()), [](const auto& info) {
  return FaultName({FaultKind::CheckCondition, info.param});
});

// The repeated flash-mode-on of unit 1 failing in every other way.
class RepeatedFlashOn : public ::testing::TestWithParam<FaultKind> {};

TEST_P(RepeatedFlashOn, FailsTheRunWithFlashingError) {
  RunOne(Fault{GetParam(), 0}, FIRST_FLASH_ON_UNIT1 + 1, true);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RepeatedFlashOn,
                         ::testing::Values(FaultKind::Busy, FaultKind::PassThroughFailure),
                         [](const auto& info) {
                           return FaultName({info.param, 0});
                         });

}  // namespace
}  // namespace reliability
