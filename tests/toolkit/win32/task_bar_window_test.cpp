// The task bar shows the application title, not the main window's caption:
// the forms are owned by a window that carries the title, and minimising a
// form minimises that window, with the forms.
#include <gtest/gtest.h>

#include "app/toolkit/application.h"
#include "app/toolkit/form.h"
#include "app/toolkit/win32/win32_native.h"

namespace {

TEST(TaskBarWindow, CarriesTheApplicationTitleAndTakesTheFormsAlong) {
  tk::SetApplicationTitle("Zorvex Firmware Flash Utility");
  tk::Form form{400, 377};
  form.SetCaption("Zorvex Firmware Flash Utility for RT-5800B");
  const HWND window = form.Window().Handle();
  const HWND owner = ::GetWindow(window, GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(::GetWindow(owner, GW_OWNER), nullptr);
  form.Show();
  EXPECT_TRUE(::IsWindowVisible(owner));
  EXPECT_EQ(tk::WindowTextCp932(owner), "Zorvex Firmware Flash Utility");
  EXPECT_EQ(tk::WindowTextCp932(window), "Zorvex Firmware Flash Utility for RT-5800B");

  ::SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(::IsIconic(owner));
  EXPECT_FALSE(::IsWindowVisible(window));
  ::SendMessageA(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(::IsIconic(owner));
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_TRUE(form.Shown());

  // The task bar's Close is the window's own close.
  ::SendMessageA(owner, WM_CLOSE, 0, 0);
  EXPECT_FALSE(form.Shown());
  EXPECT_FALSE(::IsWindowVisible(owner));
}

}  // namespace
