// Leaving the program: cancel, power-off, exit and the close handler, with
// a stand-in library handle and recording power control; and the refusals
// while a run is active.
#include <gmock/gmock.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <ostream>
#include <tuple>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "tests/support/window/program_rig.h"
#include "tests/support/fakes.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/form_window.h"

namespace app_tests {

using namespace rig;
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

uint32_t NoSupport() { return 0; }
uint32_t NoSend(void*) { return SS_ERR; }

platform::LibraryHandle const FAKE_LIBRARY = reinterpret_cast<platform::LibraryHandle>(0x5A5A0);

class CloseTest : public ::testing::Test {
 protected:
  CloseTest() {
    // As start-up on the library family leaves it.
    program.aspiLibrary.handle = FAKE_LIBRARY;
    program.channel.aspi.GetASPI32SupportInfo = &NoSupport;
    program.channel.aspi.SendASPI32Command = &NoSend;
    form.Show();
  }

  void ExpectUnloadedOnce() {
    EXPECT_THAT(libraries.Freed(), ElementsAre(FAKE_LIBRARY));
    EXPECT_EQ(program.aspiLibrary.handle, nullptr);
    EXPECT_EQ(program.channel.aspi.SendASPI32Command.load(), nullptr);
  }

  fakes::FakeSystemInfo system;
  fakes::RecordingPower power;
  fakes::RecordingDialogs dialogs;
  CountingLoader libraries;
  fakes::NoDevices devices;
  Program program{Services{system, power, libraries, devices, SystemEvents(), dialogs}};
  TForm1 form{program, false};
};

struct PowerOffCase {
  const char* name;
  uint32_t platformId;
  uint8_t armed;
  std::vector<std::string> calls;
};

std::ostream& operator<<(std::ostream& out, const PowerOffCase& c) { return out << c.name; }

class Button2Test : public CloseTest, public ::testing::WithParamInterface<PowerOffCase> {};

TEST_P(Button2Test, PowersOffOnlyWhenArmedThenClosesTheWindow) {
  system.platformId = GetParam().platformId;
  program.run.powerOffArmed = GetParam().armed;
  form.Button2.Click();
  EXPECT_EQ(power.Calls(), GetParam().calls);
  EXPECT_FALSE(form.Shown());
  ExpectUnloadedOnce();
  EXPECT_THAT(dialogs.Boxes(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Button2Test,
    ::testing::Values(PowerOffCase{"NtNotArmed", 2, 0, {}}, PowerOffCase{"Win9xNotArmed", 1, 0, {}},
                      PowerOffCase{"NtArmedOtherValue", 2, 1, {}},
                      PowerOffCase{"NtArmed", 2, 255, {"privilege on", "exit 1", "privilege off"}},
                      PowerOffCase{"Win9xArmed", 1, 255, {"exit 1"}},
                      PowerOffCase{"OtherFamilyArmed", 7, 255, {"exit 1"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A refused shutdown is not reported: the window closes as after a cancel.
class RefusingPower final : public platform::PowerControl {
 public:
  bool AdjustShutdownPrivilege(bool) override { return false; }
  bool ExitWindowsEx(uint32_t, uint32_t) override {
    ++requests;
    return false;
  }
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override { return nullptr; }
  int requests = 0;
};

TEST(PowerOffTest, RefusedShutdownStillClosesWithoutABox) {
  fakes::FakeSystemInfo system;
  RefusingPower power;
  fakes::RecordingDialogs dialogs;
  CountingLoader libraries;
  fakes::NoDevices devices;
  Program program{Services{system, power, libraries, devices, SystemEvents(), dialogs}};
  TForm1 form{program, false};
  form.Show();
  program.run.powerOffArmed = POWER_OFF_ARMED;
  form.Button2.Click();
  EXPECT_EQ(power.requests, 1);
  EXPECT_FALSE(form.Shown());
  EXPECT_THAT(dialogs.Boxes(), IsEmpty());
}

enum class ExitBy { Menu, CtrlXInDriveList };

class Exit1Test : public CloseTest, public ::testing::WithParamInterface<std::tuple<uint8_t, ExitBy>> {};

TEST_P(Exit1Test, UnloadsAndClosesButNeverPowersOff) {
  program.run.powerOffArmed = std::get<0>(GetParam());
  if (std::get<1>(GetParam()) == ExitBy::Menu) {
    form.Exit1.Trigger();
  } else {
    // As at start-up: the drive list's edit field has the focus, with text
    // that it would cut on Ctrl+X if the key were not the menu's.
    form.ComboBox1.AddItem("HA:00 TG:01 ZORVEX RT-5800B 1.0A");
    form.ComboBox1.SetItemIndex(0);
    QApplication::setActiveWindow(&form.Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form.Window()));
    QLineEdit* edit = static_cast<QComboBox*>(tk::QtWidget(form.ComboBox1))->lineEdit();
    edit->setFocus();
    edit->selectAll();
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(form.ComboBox1.Text(), "HA:00 TG:01 ZORVEX RT-5800B 1.0A");
  }
  EXPECT_FALSE(form.Shown());
  ExpectUnloadedOnce();
  EXPECT_THAT(power.Calls(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Armed, Exit1Test,
                         ::testing::Combine(::testing::Values(uint8_t{0}, uint8_t{255}),
                                            ::testing::Values(ExitBy::Menu, ExitBy::CtrlXInDriveList)));

TEST_F(CloseTest, FormCloseWithNoThreadOnlyUnloads) {
  program.run.powerOffArmed = POWER_OFF_ARMED;
  tk::CloseAction action = tk::CloseAction::Free;
  form.FormClose(action);
  EXPECT_EQ(action, tk::CloseAction::Free);
  ExpectUnloadedOnce();
  EXPECT_THAT(power.Calls(), IsEmpty());
  EXPECT_THAT(dialogs.Boxes(), IsEmpty());
  EXPECT_TRUE(form.Shown());  // the handler itself closes nothing
  // A second close finds nothing loaded.
  form.FormClose(action);
  EXPECT_EQ(libraries.Freed().size(), 1u);
}

TEST_F(CloseTest, PlatformCloseRunsTheHandler) {
  form.Window().close();  // the title bar's close, or the platform asking
  EXPECT_FALSE(form.Shown());
  ExpectUnloadedOnce();
}

TEST_F(CloseTest, NothingClosesOrUnloadsWhileARunIsActive) {
  program.run.runActive = true;
  program.run.powerOffArmed = POWER_OFF_ARMED;
  form.Window().close();
  form.Exit1.Trigger();
  form.Button2Click();
  tk::CloseAction action = tk::CloseAction::Free;
  form.FormClose(action);
  EXPECT_EQ(action, tk::CloseAction::None);
  EXPECT_TRUE(form.Shown());
  EXPECT_THAT(libraries.Freed(), IsEmpty());
  EXPECT_EQ(program.aspiLibrary.handle, FAKE_LIBRARY);
  EXPECT_THAT(power.Calls(), IsEmpty());

  program.run.runActive = false;
  form.Exit1.Trigger();
  EXPECT_FALSE(form.Shown());
  ExpectUnloadedOnce();
}

TEST_F(CloseTest, FlashButtonRefusesWhileARunIsActive) {
  program.run.runActive = true;
  program.run.powerOffArmed = POWER_OFF_ARMED;
  program.run.completion = COMPLETION_SUCCESS;
  program.run.progressCounter = 40;
  form.Timer1.SetEnabled(false);
  form.Button1Click();
  EXPECT_FALSE(form.flashThread.Running());
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(program.run.powerOffArmed.load(), POWER_OFF_ARMED);
  EXPECT_EQ(program.run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(program.run.progressCounter, 40u);
  EXPECT_THAT(power.Calls(), IsEmpty());
  EXPECT_TRUE(form.ComboBox1.Enabled());
  program.run.runActive = false;
}

}  // namespace
}  // namespace app_tests
