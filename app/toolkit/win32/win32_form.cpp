// The top-level window of the Win32 back-end. The form's own window is the
// client area the controls are placed in; the menu bar is the window's menu.
#include <algorithm>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/native.h"

namespace tk {

namespace {

constexpr char kFormClass[] = "ZxToolkitForm";
// Fixed single border, a title bar with the minimise button only (the
// system's close still reaches the close handler), no sizing.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

void RegisterFormClass() {
  static const bool registered =
      RegisterWindowClass(kFormClass, FormWindow::Procedure, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  (void)registered;
}

// Vista and later show this reason for a program that holds the shutdown
// back; looked up at run time, since older systems lack the calls.
template <typename Function>
Function FromUser32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

HFONT WindowFont() {
  // A system without the face maps it by character set and family: a
  // Japanese font where one is installed, else a fixed-pitch one.
  static const HFONT font = MakeJapaneseFont(Scaled(Form::kFontPixels), FF_MODERN | DEFAULT_PITCH, Form::kFontFamily);
  return font;
}

FormWindow::FormWindow(Form& form, int clientWidth, int clientHeight) : form_(form), clientWidth_(clientWidth) {
  RegisterFormClass();
  menuBar_ = ::CreateMenu();
  popup_ = ::CreatePopupMenu();
  RECT outer{0, 0, Scaled(clientWidth), Scaled(clientHeight)};
  ::AdjustWindowRectEx(&outer, kStyle, TRUE, kExStyle);
  hwnd_ = MakeWindow(kExStyle, kFormClass, kStyle,
                     {CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top},
                     TaskBarWindow(), menuBar_, this);
  TaskBarWindow(hwnd_);
  ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
}

FormWindow::~FormWindow() {
  if (shown_) FormShownChanged(false);
  ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  FormGone(hwnd_);
  ::DestroyWindow(hwnd_);  // the menu bar goes with it
  ::DestroyMenu(popup_);
}

void FormWindow::Show() {
  if (!centred_) {
    centred_ = true;
    RECT area{}, outer{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(hwnd_, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    ::SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  ::ShowWindow(hwnd_, SW_SHOW);
  ::UpdateWindow(hwnd_);
  if (!shown_) {
    shown_ = true;
    FormShownChanged(true);
  }
}

void FormWindow::Hide() {
  ::ShowWindow(hwnd_, SW_HIDE);
  if (shown_) {
    shown_ = false;
    FormShownChanged(false);
  }
}

void FormWindow::SetOuterHeight(int height) {
  RECT outer{};
  ::GetWindowRect(hwnd_, &outer);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, std::max(0, Scaled(height)),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int FormWindow::OuterHeight() const {
  RECT outer{};
  ::GetWindowRect(hwnd_, &outer);
  return Unscaled(outer.bottom - outer.top);
}

LRESULT CALLBACK FormWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<FormWindow*>(CreationParam(lParam));
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (window == nullptr || window->hwnd_ == nullptr) return DefaultProcedure(hwnd, message, wParam, lParam);
  return window->Handle(message, wParam, lParam);
}

LRESULT FormWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (form_.RunCloseHandler()) Hide();
      return 0;
    case WM_COMMAND:
      if (lParam == 0) {  // a menu item
        if (NativeMenuItem* item = menus_.ById(static_cast<int>(LOWORD(wParam)) - static_cast<int>(kFirstItemId)))
          Choose(*item);
      } else if (auto* control = reinterpret_cast<Control*>(
                     ::GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), GWLP_USERDATA))) {
        Notify(*control, HIWORD(wParam));
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        MinimiseToTaskBar();
        return 0;
      }
      return DefaultProcedure(hwnd_, message, wParam, lParam);
    case WM_QUERYENDSESSION:
      // A logoff or shutdown now would cut the drive off in the middle of
      // its firmware.
      return form_.SessionEndHeld() ? FALSE : TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE && form_.SessionEndHeld()) form_.RunSessionEnding();
      return 0;
    case WM_CONTEXTMENU:
      ShowPopup(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Labels, radio buttons and frames on the window's face colour.
      const HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
      return DefaultProcedure(hwnd_, message, wParam, lParam);
  }
}

// Form

void FormWindowDeleter::operator()(FormWindow* window) const { delete window; }

namespace native {

FormWindow* MakeFormWindow(Form& form, int clientWidth, int clientHeight) {
  return new FormWindow(form, clientWidth, clientHeight);
}

NativeControl* FormClient(FormWindow& window) { return AsNative(window.Handle()); }

void ShowForm(FormWindow& window) { window.Show(); }

bool FormShown(FormWindow& window) { return window.Shown(); }

void SetFormCaption(FormWindow& window, std::string_view cp932) { SetWindowTextCp932(window.Handle(), cp932); }

std::string FormCaption(FormWindow& window) { return WindowTextCp932(window.Handle()); }

void SetFormOuterHeight(FormWindow& window, int height) { window.SetOuterHeight(height); }

int FormOuterHeight(const Form& form) { return form.Window().OuterHeight(); }

int FormFrameHeight(FormWindow& window) {
  RECT outer{}, client{};
  ::GetWindowRect(window.Handle(), &outer);
  ::GetClientRect(window.Handle(), &client);
  return (outer.bottom - outer.top) - (client.bottom - client.top);
}

void CloseForm(FormWindow& window) { ::SendMessageA(window.Handle(), WM_CLOSE, 0, 0); }

void TellSystemSessionEndHold(Form& form) {
  using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
  using Destroy = BOOL(WINAPI*)(HWND);
  static const auto create = FromUser32<Create>("ShutdownBlockReasonCreate");
  static const auto destroy = FromUser32<Destroy>("ShutdownBlockReasonDestroy");
  const HWND hwnd = form.Window().Handle();
  if (form.SessionEndHeld()) {
    if (create != nullptr) create(hwnd, Wide(form.SessionEndReason()).c_str());
  } else if (destroy != nullptr) {
    destroy(hwnd);
  }
}

}  // namespace native

}  // namespace tk
