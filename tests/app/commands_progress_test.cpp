// The progress display, one tick at a time: the schedule of the bar, the
// tick interval, and what a completion does to it.
#include <gmock/gmock.h>

#include <string>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/program.h"
#include "tests/support/window/test_program.h"

namespace {

class ProgressTest : public ::testing::Test {
 protected:
  ProgressTest() {
    // As start-up and a click leave them.
    form.ProgressBar1.SetMax(70);
    form.Timer1.SetEnabled(true);
  }
  ~ProgressTest() override { form.Timer1.SetEnabled(false); }

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) form.Timer1.Tick();
  }
  void ExpectShown(int value) {
    EXPECT_EQ(form.ProgressBar1.Position(), value);
    EXPECT_EQ(form.Edit4.Text(), std::to_string(value));
  }

  fakes::TestProgram tp;
  RunState& run = tp->run;
  TForm1 form{*tp, false};
};

struct Schedule {
  int ticks;
  int shown;
};

class ScheduleTest : public ProgressTest, public ::testing::WithParamInterface<Schedule> {};

TEST_P(ScheduleTest, BarFollowsTheFixedSchedule) {
  Ticks(GetParam().ticks);
  ExpectShown(GetParam().shown);
  EXPECT_EQ(run.progressCounter, static_cast<uint32_t>(GetParam().shown));
  EXPECT_TRUE(form.Timer1.Enabled());
}

// +1 up to 56, then +1 on every third tick, holding at 66.
INSTANTIATE_TEST_SUITE_P(Ticks, ScheduleTest,
                         ::testing::Values(Schedule{1, 1}, Schedule{55, 55}, Schedule{56, 56},
                                           Schedule{57, 56}, Schedule{58, 56}, Schedule{59, 57},
                                           Schedule{62, 58}, Schedule{83, 65}, Schedule{85, 65},
                                           Schedule{86, 66}, Schedule{87, 66}, Schedule{200, 66}));

TEST_F(ProgressTest, FirstTickComesAfterTheDefaultIntervalAndSetsTheFastOne) {
  EXPECT_EQ(form.Timer1.Interval(), FIRST_TICK_INTERVAL_MS);
  Ticks(1);
  EXPECT_EQ(form.Timer1.Interval(), TICK_INTERVAL_MS);
}

TEST_F(ProgressTest, SuccessAfterTheHoldFillsTheBarButEditKeepsTheCount) {
  Ticks(86);
  run.completion = COMPLETION_SUCCESS;
  ExpectShown(66);  // until the next tick
  Ticks(1);
  EXPECT_EQ(form.ProgressBar1.Position(), 70);
  EXPECT_EQ(form.Edit4.Text(), "66");
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(run.tickCounter, 0);
}

TEST_F(ProgressTest, SuccessInTheFastPhaseJumpsStraightToFull) {
  Ticks(10);
  run.completion = COMPLETION_SUCCESS;
  Ticks(1);
  EXPECT_EQ(form.ProgressBar1.Position(), 70);
  EXPECT_EQ(form.Edit4.Text(), "11");
  EXPECT_FALSE(form.Timer1.Enabled());
}

class FailureTest : public ProgressTest, public ::testing::WithParamInterface<Schedule> {};

TEST_P(FailureTest, FailureFreezesTheBarWhereTheTickPutIt) {
  Ticks(GetParam().ticks);
  run.completion = COMPLETION_FAILURE;
  Ticks(1);
  ExpectShown(GetParam().shown);
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(run.tickCounter, 0);
}

INSTANTIATE_TEST_SUITE_P(Phases, FailureTest,
                         ::testing::Values(Schedule{20, 21}, Schedule{60, 57}, Schedule{100, 66}));

TEST_F(ProgressTest, NegativeTickCounterHoldsTheSlowPhaseBack) {
  run.progressCounter = 60;
  run.tickCounter = 126;
  // 127, then -128 up to 2: nothing; 3 is the first multiple of three again.
  Ticks(132);
  ExpectShown(60);
  EXPECT_EQ(run.tickCounter, 2);
  Ticks(1);
  ExpectShown(61);
}

}  // namespace
