// What the operator can and cannot do while a run is in progress: a second
// flash click, a pick in the drive list, closing the window; and the next
// run after one has ended. The run is held inside the drive's pass-through
// call, so it stays in progress as long as the test needs. What happens to
// a run when the display goes, and when the inhibitor's services are slow.
#include <gmock/gmock.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <unistd.h>

#include <cstdio>

#include "tests/support/window/program_rig.h"
#include "tests/support/window/event_wait.h"
#include "app/entry/display_loss.h"
#include "app/toolkit/dialogs.h"
#include "app/toolkit/qt/form_window.h"
#include "platform/termination_deferral.h"
#include "platform/termination_requests.h"

namespace app_tests {

using namespace rig;
namespace {

using emulator::CommandKind;
using ::testing::ElementsAre;
using testing_support::ProcessEventsUntil;

constexpr uint32_t UPLOADS_IN_RUN = 25;  // 18 for unit 0, 7 for unit 1

class DuringRunTest : public ::testing::Test {
 protected:
  // Starts a run whose first command on drive `held` stays in the drive.
  void StartHeldRun(std::size_t held = 0) {
    rig.layer.HoldPassThrough(rig.letter(held));
    form().Button1.Click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return rig.layer.WaitForHeldCall(rig.letter(held), 0); }));
    // The run's start reaches the window as posted updates, which a busy
    // machine may not have carried out by the time the command is held.
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form().Button1.Enabled() && !form().ComboBox1.Enabled(); }));
  }
  void ReleaseAndWait(std::size_t held = 0) {
    rig.layer.ReleasePassThrough(rig.letter(held));
    ASSERT_TRUE(rig.WaitForRunEnd());
    ASSERT_TRUE(ProcessEventsUntil([&] { return form().ComboBox1.Enabled(); }));
  }
  TForm1& form() { return rig.form(); }
  Program& program() { return rig.program(); }

  ProgramRig rig;
};

TEST_F(DuringRunTest, SecondClickStartsNoSecondRun) {
  rig.AddDrive();
  rig.Start().Show();
  StartHeldRun();
  // A click that slipped in before the run disabled the button, and one after.
  form().Button1Click();
  form().Button1.Click();
  form().Button1Click();
  EXPECT_FALSE(form().Button1.Enabled());
  ReleaseAndWait();

  EXPECT_EQ(program().run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(rig.injector(0).Arrived(CommandKind::Upload), UPLOADS_IN_RUN);
  EXPECT_EQ(rig.injector(0).Arrived(CommandKind::EraseUnit), 1u);
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release"));
}

TEST_F(DuringRunTest, DriveListIsClosedToPicksDuringARun) {
  rig.AddDrive();
  rig.AddDrive();
  rig.Start().Show();
  ASSERT_EQ(program().status.StatusCode(), StatusMsg{17});
  form().ComboBox1.Pick(0);
  ASSERT_EQ(program().status.StatusCode(), StatusMsg{12});
  ASSERT_TRUE(form().Button1.Enabled());

  StartHeldRun(0);
  EXPECT_FALSE(form().ComboBox1.Enabled());
  form().ComboBox1.Pick(1);  // refused by the disabled list
  // A change that reached the handler all the same changes nothing either.
  form().ComboBox1.SetItemIndex(1);
  form().ComboBox1Change();
  EXPECT_EQ(program().run.Selected().haId, 0);
  EXPECT_EQ(form().Label6.Caption(), "00 ");
  EXPECT_FALSE(form().Button1.Enabled());
  EXPECT_EQ(program().status.StatusCode(), StatusMsg{1});
  ReleaseAndWait(0);

  EXPECT_EQ(program().run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(rig.injector(0).Arrived(CommandKind::Upload), UPLOADS_IN_RUN);
  EXPECT_EQ(rig.injector(1).Arrived(CommandKind::FlashOn), 0u);
  EXPECT_EQ(rig.injector(1).Arrived(CommandKind::Upload), 0u);
  // Open again once the run has ended.
  form().ComboBox1.Pick(1);
  EXPECT_EQ(program().run.Selected().haId, 1);
  EXPECT_EQ(form().Label6.Caption(), "01 ");
}

TEST_F(DuringRunTest, WindowRefusesToCloseUntilTheRunHasEnded) {
  rig.AddDrive();
  rig.Start().Show();
  StartHeldRun();
  form().Window().close();
  form().Exit1.Trigger();
  EXPECT_TRUE(form().Shown());
  EXPECT_TRUE(program().run.runActive.load());
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit"));
  ReleaseAndWait();

  EXPECT_TRUE(form().Shown());
  form().Exit1.Trigger();
  EXPECT_FALSE(form().Shown());
}

TEST_F(DuringRunTest, SecondRunRestartsTheBarOneFastTickAfterTheClick) {
  rig.AddDrive();
  rig.Start().Show();
  form().Button1.Click();
  ASSERT_TRUE(rig.WaitForDisplayEnd());
  ASSERT_TRUE(ProcessEventsUntil([&] { return form().ComboBox1.Enabled(); }));
  ASSERT_EQ(form().ProgressBar1.Position(), 70);
  form().ComboBox1.Pick(0);  // the pick that enables the flash button again
  ASSERT_TRUE(form().Button1.Enabled());

  rig.layer.HoldPassThrough(rig.letter(0));
  QElapsedTimer clock;
  clock.start();
  form().Button1.Click();
  EXPECT_EQ(program().run.powerOffArmed.load(), 0);
  ASSERT_TRUE(ProcessEventsUntil([&] { return program().run.progressCounter > 0; }));
  const qint64 firstTick = clock.elapsed();
  EXPECT_EQ(form().ProgressBar1.Position(), 1);
  EXPECT_GE(firstTick, 150);
  EXPECT_LT(firstTick, 900);  // not the first run's 1000 ms
  EXPECT_FALSE(form().Button2.Enabled());
  ReleaseAndWait();
  EXPECT_EQ(program().run.completion.load(), COMPLETION_SUCCESS);
}

// The inhibitor's services have not answered yet: the run starts all the
// same, and what the lock lacks is said once they have.
TEST_F(DuringRunTest, RunStartsBeforeTheInhibitorIsAnswered) {
  rig.power.answered = false;
  rig.power.missing = "logout";
  rig.AddDrive();
  rig.Start().Show();
  ::testing::internal::CaptureStderr();
  StartHeldRun();
  rig.power.answered = true;
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::Not(::testing::HasSubstr("lock against")));
  ::testing::internal::CaptureStderr();
  ReleaseAndWait();
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              ::testing::HasSubstr("the run goes on without a lock against: logout\n"));
  EXPECT_EQ(program().run.completion.load(), COMPLETION_SUCCESS);
}

// The window thread held up for the whole run, as in a display library that
// does not answer: every command still reaches the drive, the run's end is
// said without the window, and the window shows the run's last state once
// it is back.
TEST_F(DuringRunTest, RunGoesOnToItsEndWhileTheWindowDoesNotAnswer) {
  rig.AddDrive();
  rig.Start().Show();
  form().view.Display().SetWindowAnswerMs(100);
  ::testing::internal::CaptureStderr();
  form().Button1.Click();
  QElapsedTimer clock;
  clock.start();
  while (program().run.runActive.load() && clock.elapsed() < RUN_TIMEOUT_MS) platform::SleepMs(5);
  EXPECT_FALSE(program().run.runActive.load()) << "the run waited for the window";
  EXPECT_EQ(rig.injector(0).Arrived(CommandKind::Upload), UPLOADS_IN_RUN);
  EXPECT_EQ(rig.injector(0).Arrived(CommandKind::FlashOff), 2u);
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              ::testing::HasSubstr("the window does not answer; the flash run is over: \"Flashing Completed\""));
  ASSERT_TRUE(ProcessEventsUntil([&] { return form().ComboBox1.Enabled(); }));
  EXPECT_EQ(program().run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(form().RichEdit1.Text(), StatusText(StatusMsg::TurnOff, false));
  EXPECT_TRUE(form().Button2.Enabled());
  EXPECT_EQ(form().Button2.Caption(), "Power Off");
  EXPECT_EQ(program().run.powerOffArmed.load(), POWER_OFF_ARMED);
}

// The display goes in the middle of a run, with a box open that the flash
// thread waits for or without one: the run goes on to its end without the
// window, `finish` runs, and the process ends with the run's outcome.
struct DisplayLoss {
  const char* name;
  bool inBox;  // lost while the "Reserved" box of a failed program command is open
  int exitCode;
  const char* outcome;
  uint32_t programs;  // program commands at the drive in the end
};
void PrintTo(const DisplayLoss& c, std::ostream* os) { *os << c.name; }
class DisplayLossTest : public ::testing::TestWithParam<DisplayLoss> {};

bool BoxOpen() {
  const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  return box != nullptr && box->isVisible();
}

TEST_P(DisplayLossTest, RunEndsThenTheProcessExitsWithItsOutcome) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DisplayLoss& c = GetParam();
  const std::string expected = "display is gone during a flash run.*finish: " + std::to_string(c.programs) +
                               " program commands\n.*the flash run is over: \"" + c.outcome +
                               "\"; ending because the display is gone";
  EXPECT_EXIT(
      {
        ::alarm(RUN_TIMEOUT_MS / 1000);  // a run that never ends fails, by the alarm's default action
        ProgramRig rig;
        tk::WindowDialogs boxes;
        rig.UseDialogs(boxes);
        rig.AddDrive();
        if (c.inBox) rig.injector().AddRule(emulator::FaultRule::Fail(CommandKind::Program, 2, 0x08));
        rig.Start().Show();
        DisplayLossGuard guard("zorvex-flash", rig.program(), [&] {
          std::fprintf(stderr, "finish: %u program commands\n", rig.injector().Arrived(CommandKind::Program));
        });
        QTimer lose;
        QObject::connect(&lose, &QTimer::timeout, [&] {
          if (c.inBox ? BoxOpen() : rig.injector().Arrived(CommandKind::Upload) >= 5) guard.DisplayLost();
        });
        lose.start(1);
        rig.ClickFlash();
        ProcessEventsUntil([] { return false; }, RUN_TIMEOUT_MS);
        std::_Exit(99);
      },
      ::testing::ExitedWithCode(c.exitCode), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DisplayLossTest,
    ::testing::Values(DisplayLoss{"WhileABoxIsOpen", true, kStatusAfterLossFailed, "Flashing Error", 2},
                      DisplayLoss{"MidRun", false, kStatusAfterLossSucceeded, "Flashing Completed", 18}),
    [](const auto& info) { return std::string(info.param.name); });

// The display goes just after a run's last command, before the run's watch
// has carried its end out: a request to end the program that came during
// the run still decides, after the outcome line.
TEST(DisplayLossAfterRunTest, ARequestDeferredDuringTheRunStillDecides) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ProgramRig rig;
        rig.AddDrive();
        rig.Start().Show();
        DisplayLossGuard guard("zorvex-flash", rig.program());
        platform::DeferTermination();
        platform::NoteDeferredRequest(SIGUSR1);
        rig.program().run.completion.store(COMPLETION_SUCCESS);
        guard.DisplayLost();
        std::_Exit(99);
      },
      ::testing::ExitedWithCode(128 + SIGUSR1), "the flash run is over: \"Flashing Completed\"; ending as SIGUSR1");
}

TEST(LibraryDuringRunTest, LibraryStaysLoadedWhileTheRunCanSend) {
  ProgramRig rig(RigOptions{.platformId = platform::VER_PLATFORM_WIN32_WINDOWS});
  // Slow enough that the run is still going when the close comes.
  rig.UseLibrary("adapters=1;drives=1;status=1;latency=40");
  TForm1& form = rig.Start();
  form.Show();
  ASSERT_TRUE(form.Button1.Enabled());
  form.Button1.Click();
  form.Window().close();
  form.Exit1.Trigger();
  EXPECT_TRUE(form.Shown());
  EXPECT_NE(rig.program().aspiLibrary.handle, nullptr);
  EXPECT_TRUE(rig.libraries.Freed().empty());

  ASSERT_TRUE(rig.WaitForRunEnd());
  EXPECT_EQ(rig.program().run.completion.load(), COMPLETION_SUCCESS);
  form.Exit1.Trigger();
  EXPECT_FALSE(form.Shown());
  EXPECT_EQ(rig.libraries.Freed().size(), 1u);
}

}  // namespace
}  // namespace app_tests
