// zx-startup-bench (Windows build only): how long a new process takes until
// its window is shown and its message queue is idle, measured from the
// process's creation, so that the loader of whatever runs it (Wine, say)
// counts alike in both modes.
//   zx-startup-bench demo   the demo's start-up over one virtual drive
//   zx-startup-bench same   a plain Win32 window with the same controls
// Prints "idle_ms=<ms> main_ms=<ms> controls=<child windows>", the second
// counted from main() on (without the loader's share);
// scripts/bench-windows.sh runs both in turn and compares medians.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/toolkit/form.h"
#include "bench/win32/demo_startup.h"

namespace {

double startOfMain = 0;

double MsSinceProcessCreation() {
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

// Every message handled, nothing left to paint: what a user would call shown.
void PumpUntilIdle() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK FindShown(HWND hwnd, LPARAM found) {
  // The form, not a helper window of the system's (input method, say).
  if (!::IsWindowVisible(hwnd) || (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

}  // namespace

int ReportWhenIdle() {
  PumpUntilIdle();
  const double idle = MsSinceProcessCreation();
  HWND shown = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindShown, reinterpret_cast<LPARAM>(&shown));
  int controls = 0;
  if (shown != nullptr) ::EnumChildWindows(shown, CountChild, reinterpret_cast<LPARAM>(&controls));
  std::printf("idle_ms=%.3f main_ms=%.3f controls=%d\n", idle, idle - startOfMain, controls);
  return shown != nullptr ? 0 : 1;
}

namespace {

LRESULT CALLBACK PlainProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* windowClass, DWORD style, int index) {
  HWND hwnd = ::CreateWindowExW(0, windowClass, L"Label", WS_CHILD | WS_VISIBLE | style, 8 + (index % 4) * 96,
                                4 + (index / 4) * 16, 90, 14, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  static const HFONT font = [] {
    const std::u8string_view family = tk::Form::kFontFamily;
    wchar_t face[LF_FACESIZE] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(family.data()), static_cast<int>(family.size()),
                          face, LF_FACESIZE - 1);
    return ::CreateFontW(-tk::Form::kFontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN | DEFAULT_PITCH, face);
  }();
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

// The program's window as a plain Win32 program would build it: the same
// window classes and number of controls, the rich edit library, the font,
// the menu bar and pop-up menu, the same size, and nothing behind them.
int SameWindow() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  ::LoadLibraryW(L"riched20.dll");
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PlainProcedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"ZxPlainForm";
  ::RegisterClassW(&windowClass);
  HMENU bar = ::CreateMenu(), file = ::CreatePopupMenu(), popup = ::CreatePopupMenu();
  ::AppendMenuW(file, MF_STRING, 1, L"E&xit");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  ::AppendMenuW(popup, MF_STRING, 2, L"Save");
  ::AppendMenuW(popup, MF_STRING, 3, L"Detail");
  HWND form = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_CONTROLPARENT, L"ZxPlainForm", L"Plain",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, 400, 240, nullptr, bar, windowClass.hInstance, nullptr);
  int index = 0;
  for (int i = 0; i < 23; ++i) Child(form, L"STATIC", SS_LEFT | SS_NOPREFIX, index++);
  Child(form, L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, index++);
  Child(form, RICHEDIT_CLASSW, ES_MULTILINE | ES_READONLY | WS_VSCROLL, index++);
  for (int i = 0; i < 2; ++i) Child(form, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, index++);
  Child(form, PROGRESS_CLASSW, 0, index++);
  Child(form, L"STATIC", SS_ETCHEDHORZ, index++);
  Child(form, L"STATIC", SS_ETCHEDFRAME, index++);
  for (int i = 0; i < 4; ++i) Child(form, L"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, index++);
  Child(form, L"BUTTON", BS_GROUPBOX, index++);
  for (int i = 0; i < 2; ++i) Child(form, L"BUTTON", BS_RADIOBUTTON | WS_TABSTOP, index++);
  ::ShowWindow(form, SW_SHOW);
  ::UpdateWindow(form);
  const int status = ReportWhenIdle();
  ::DestroyWindow(form);
  ::DestroyMenu(popup);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  startOfMain = MsSinceProcessCreation();
  if (argc == 2 && std::strcmp(argv[1], "demo") == 0) return DemoStartup(ReportWhenIdle);
  if (argc == 2 && std::strcmp(argv[1], "same") == 0) return SameWindow();
  std::fprintf(stderr, "usage: zx-startup-bench demo|same\n");
  return 2;
}
