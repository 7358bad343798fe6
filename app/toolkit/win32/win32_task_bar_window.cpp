// The window the task bar shows for the program. Windows puts on the task
// bar the text of an unowned top-level window, and the main window's own
// caption is another text than the application title; so, as programs of
// this kind have always done, a captioned popup of no size carries the
// application title and owns every form, which leaves the task bar to it.
// Minimising a form minimises this window, which hides the forms it owns;
// the task bar's button restores it with them, and activating it hands the
// activation on to the form that last had it.
#include <algorithm>
#include <vector>

#include "app/toolkit/application.h"
#include "app/toolkit/win32/win32_native.h"

namespace tk {

namespace {

constexpr char kTaskBarClass[] = "ZxToolkitTaskBar";
constexpr UINT WM_ZX_ACTIVATE_FORM = WM_APP + 2;

// Window thread only.
HWND taskBar = nullptr;
std::vector<HWND> forms;        // the forms it owns, oldest first
std::vector<HWND> hiddenForms;  // those its minimising hid

// The system hides only owned pop-up windows with a minimised owner, and
// the forms are overlapped windows.
void HideFormsWithTheTaskBar() {
  hiddenForms.clear();
  for (const HWND form : forms)
    if (::IsWindowVisible(form)) {
      hiddenForms.push_back(form);
      ::ShowWindow(form, SW_HIDE);
    }
}

// Only those still shown: one closed meanwhile stays hidden.
void ShowFormsAgain() {
  for (const HWND form : hiddenForms) {
    const auto* window = reinterpret_cast<const FormWindow*>(::GetWindowLongPtrA(form, GWLP_USERDATA));
    if (window != nullptr && window->Shown()) ::ShowWindow(form, SW_SHOWNA);
  }
  hiddenForms.clear();
}

LRESULT CALLBACK TaskBarProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      // Posted: the system is still in the middle of activating this window.
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) ::PostMessageA(hwnd, WM_ZX_ACTIVATE_FORM, 0, 0);
      break;
    case WM_ZX_ACTIVATE_FORM:
      if (::GetActiveWindow() == hwnd && !::IsIconic(hwnd)) {
        const HWND popup = ::GetLastActivePopup(hwnd);
        if (popup != hwnd && ::IsWindowVisible(popup)) ::SetActiveWindow(popup);
      }
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED)
        HideFormsWithTheTaskBar();
      else if (wParam == SIZE_RESTORED)
        ShowFormsAgain();
      break;
    case WM_CLOSE:
      // The task bar's Close is the main window's close, refusals and all.
      if (!forms.empty()) ::SendMessageA(forms.front(), WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefaultProcedure(hwnd, message, wParam, lParam);
}

}  // namespace

HWND TaskBarWindow(HWND form) {
  if (taskBar == nullptr) {
    RegisterWindowClass(kTaskBarClass, TaskBarProcedure, nullptr);
    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    taskBar = MakeWindow(0, kTaskBarClass, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                         {(area.left + area.right) / 2, (area.top + area.bottom) / 2, 0, 0}, nullptr, nullptr);
  }
  if (form != nullptr) forms.push_back(form);
  return taskBar;
}

void FormGone(HWND form) {
  forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
  hiddenForms.erase(std::remove(hiddenForms.begin(), hiddenForms.end(), form), hiddenForms.end());
}

void ShowTaskBarWindow(bool show) {
  if (taskBar == nullptr) return;
  // The title as it is now: the program may set it after the form is made.
  if (show) SetWindowTextCp932(taskBar, ApplicationTitle());
  ::ShowWindow(taskBar, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void MinimiseToTaskBar() {
  if (taskBar != nullptr) ::ShowWindow(taskBar, SW_MINIMIZE);
}

}  // namespace tk
