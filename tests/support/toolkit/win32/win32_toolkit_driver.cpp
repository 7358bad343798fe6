// The contract suite's driver on the Win32 back-end (run under Wine).
#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <iterator>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"
#include "tests/support/toolkit/toolkit_driver.h"

// After <windows.h> (win32_native.h), which it needs: the common dialogs'
// control ids.
#include <dlgs.h>

namespace toolkit_test {

namespace {

tk::Application* application = nullptr;

// The visible dialog of the window thread that has a file-type list.
BOOL CALLBACK FindOpenDialog(HWND hwnd, LPARAM found) {
  if (!tk::HasClass(hwnd, "#32770") || !::IsWindowVisible(hwnd) || ::GetDlgItem(hwnd, cmb1) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

BOOL Peek(MSG& message) {
  if (tk::AnsiWindows()) return ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
  return NT_WIDE("user32.dll", PeekMessageW)(&message, nullptr, 0, 0, PM_REMOVE);
}

}  // namespace

tk::Application& TheApplication() { return *application; }

bool TurnEventLoopUntil(const std::function<bool()>& done, int safetyNetMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(safetyNetMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    MSG message;
    while (Peek(message)) {
      ::TranslateMessage(&message);
      tk::Dispatch(message);
    }
  }
  return true;
}

std::optional<std::vector<std::string>> AnswerOpenDialog(const std::optional<std::string>& path) {
  HWND dialog = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindOpenDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return std::nullopt;
  const HWND types = ::GetDlgItem(dialog, cmb1);
  std::vector<std::string> offered;
  const int count = static_cast<int>(::SendMessageA(types, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) offered.push_back(tk::ComboItemCp932(types, i));
  // The file name field: a combo box since Windows 2000, an edit field before.
  HWND name = ::GetDlgItem(dialog, cmb13);
  if (name == nullptr) name = ::GetDlgItem(dialog, edt1);
  if (path && name != nullptr) tk::SetWindowTextCp932(name, *path);
  const int button = path ? IDOK : IDCANCEL;
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button)));
  return offered;
}

void PressCtrlKey(tk::Form& form, char letter) {
  // Ctrl held down while the key reaches the window through the
  // application's own message loop, which ends once the key has passed.
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  BYTE held[256];
  std::copy(std::begin(keys), std::end(keys), std::begin(held));
  held[VK_CONTROL] = 0x80;
  ::SetKeyboardState(held);
  ::PostMessageA(form.Window().Handle(), WM_KEYDOWN, static_cast<WPARAM>(letter), 1);
  tk::PostToWindowThread([] { tk::ExitMessageLoop(0); });
  TheApplication().Run();
  ::SetKeyboardState(keys);
}

}  // namespace toolkit_test

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  tk::Application app;
  toolkit_test::application = &app;
  return RUN_ALL_TESTS();
}
