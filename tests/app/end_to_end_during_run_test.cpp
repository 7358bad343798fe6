// What the operator can and cannot do while a run is in progress: a second
// flash click, a pick in the drive list, closing the window; and the next
// run after one has ended. The run is held inside the drive's pass-through
// call, so it stays in progress as long as the test needs.
#include <gmock/gmock.h>

#include <QElapsedTimer>

#include "tests/support/window/program_rig.h"
#include "tests/support/window/event_wait.h"
#include "app/toolkit/qt/form_window.h"

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
