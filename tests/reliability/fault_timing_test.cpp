// Faults that show only in time: a drive that never answers, and one that
// answers after the program stopped waiting. The program's waits are short
// here (injected), so each case costs about a second, plus the simulator's
// own stop of a worker that hangs in the drive.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/reliability/fault_plan.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

// Short enough to keep the suite quick, long enough that a sound command on a
// loaded machine under a sanitizer never runs out of it.
constexpr CommandWaits SHORT_WAITS{1000, 1000};

struct TimingCase {
  const char* name;
  FaultKind kind;
  std::size_t position;
  bool unitAttention;
};
void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

class TimingFault : public ::testing::TestWithParam<TimingCase> {};

TEST_P(TimingFault, EndsTheRunAsAFailedCommandDoes) {
  const TimingCase& c = GetParam();
  RunWithFault(Fault{c.kind, 0}, c.position,
               RigOptions{.unitAttention = c.unitAttention, .waits = SHORT_WAITS});
}

// One command of each kind and both units, both flash-mode-offs, and unit
// 1's first flash-mode-on with its repeat.
INSTANTIATE_TEST_SUITE_P(
    Commands, TimingFault,
    ::testing::Values(TimingCase{"LateFlashOnUnit0", FaultKind::LateCompletion, 0, false},
                      TimingCase{"LateFirstUpload", FaultKind::LateCompletion, 1, false},
                      TimingCase{"LateVerifyUnit0", FaultKind::LateCompletion, 19, false},
                      TimingCase{"LateFirstErase", FaultKind::LateCompletion, 20, false},
                      TimingCase{"LateLastProgramUnit0", FaultKind::LateCompletion, 41, false},
                      TimingCase{"LateFlashOffUnit0", FaultKind::LateCompletion, 42, false},
                      TimingCase{"LateFirstFlashOnUnit1", FaultKind::LateCompletion, 43, false},
                      TimingCase{"LateRepeatedFlashOnUnit1", FaultKind::LateCompletion, 44, true},
                      TimingCase{"LateEraseUnit", FaultKind::LateCompletion, 52, false},
                      TimingCase{"LateFlashOffUnit1", FaultKind::LateCompletion, 60, false},
                      TimingCase{"HungFlashOnUnit0", FaultKind::NoCompletion, 0, false},
                      TimingCase{"HungLastUploadUnit0", FaultKind::NoCompletion, 18, false},
                      TimingCase{"HungFlashOffUnit0", FaultKind::NoCompletion, 42, false},
                      TimingCase{"HungFirstFlashOnUnit1", FaultKind::NoCompletion, 43, false},
                      TimingCase{"HungRepeatedFlashOnUnit1", FaultKind::NoCompletion, 44, true},
                      TimingCase{"HungProgramUnit1", FaultKind::NoCompletion, 55, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
