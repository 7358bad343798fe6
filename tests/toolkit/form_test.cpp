// The window's contract: closing, its caption, and its menus' items.
#include "app/toolkit/form.h"

#include <gmock/gmock.h>

#include "app/toolkit/application.h"
#include "app/toolkit/timer.h"
#include "app/toolkit/window_thread.h"
#include "tests/support/toolkit/toolkit_driver.h"

namespace {

class ToolkitForm : public ::testing::Test {
 protected:
  ToolkitForm() {
    tk::MenuItem file = form.AddMenu("File(&F)");
    form.AddMenuItem(file, "Exit(&X)");
  }
  tk::Form form{400, 377};
};

TEST_F(ToolkitForm, CloseHandlerMayRefuse) {
  int closes = 0;
  tk::CloseAction answer = tk::CloseAction::None;
  form.OnClose([&](tk::CloseAction& action) {
    ++closes;
    EXPECT_EQ(action, tk::CloseAction::Free);  // the default handed in
    action = answer;
  });
  form.Show();
  EXPECT_TRUE(form.Shown());
  form.Close();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(form.Shown());

  answer = tk::CloseAction::Free;
  form.Close();
  EXPECT_EQ(closes, 2);
  EXPECT_FALSE(form.Shown());
}

TEST_F(ToolkitForm, ClosingTheWindowEndsTheEventLoop) {
  form.Show();
  bool forced = false;
  tk::Timer watchdog;  // a safety net only: the close ends the loop at once
  watchdog.SetInterval(60000);
  watchdog.OnTimer([&] {
    forced = true;
    tk::ExitMessageLoop(0);
  });
  watchdog.SetEnabled(true);
  tk::PostToWindowThread([&] { form.Close(); });
  toolkit_test::TheApplication().Run();
  EXPECT_FALSE(forced);
  EXPECT_FALSE(form.Shown());
}

TEST_F(ToolkitForm, CloseRunsHandlerAlsoBeforeTheWindowWasShown) {
  int closes = 0;
  form.OnClose([&](tk::CloseAction&) { ++closes; });
  form.Close();
  EXPECT_EQ(closes, 1);
}

TEST_F(ToolkitForm, CaptionRoundTripsJapanese) {
  const std::string caption = "\x8c\xbe\x8c\xea";  // 言語
  form.SetCaption(caption);
  EXPECT_EQ(form.Caption(), caption);
}

TEST_F(ToolkitForm, InvisiblePopupItemShortcutRunsNothingAndVisibleOneDoes) {
  tk::MenuItem item = form.AddPopupItem("");
  item.SetShortcut("Ctrl+S");
  item.SetVisible(false);
  EXPECT_FALSE(item.Visible());
  int clicks = 0;
  item.OnClick([&] { ++clicks; });
  form.Show();

  toolkit_test::PressCtrlKey(form, 'S');
  item.Trigger();
  EXPECT_EQ(clicks, 0);

  item.SetVisible(true);  // proves the key press reaches the shortcut
  toolkit_test::PressCtrlKey(form, 'S');
  EXPECT_EQ(clicks, 1);
  item.Trigger();
  EXPECT_EQ(clicks, 2);
}

TEST_F(ToolkitForm, MenuItemShortcutWorksWithMenuClosed) {
  tk::MenuItem file = form.AddMenu("File(&F)");
  tk::MenuItem exit = form.AddMenuItem(file, "Exit(&X)");
  exit.SetShortcut("Ctrl+X");
  int clicks = 0;
  exit.OnClick([&] { ++clicks; });
  exit.OnClick([&] { clicks += 10; });  // replaces the first handler
  form.Show();
  toolkit_test::PressCtrlKey(form, 'X');
  EXPECT_EQ(clicks, 10);
  EXPECT_EQ(exit.Shortcut(), "Ctrl+X");
  EXPECT_EQ(exit.Caption(), "Exit(&X)");
}

}  // namespace
