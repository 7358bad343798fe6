// The window functions of the program's character kind (see AnsiWindows):
// the one place besides the text conversions where the ANSI or the wide
// function is chosen.
#include <string>

#include "app/toolkit/win32/win32_native.h"
#include "platform/win32/win32_system_info.h"

namespace tk {

namespace {

// Class names are ASCII, which widens byte for byte.
std::wstring WideAscii(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

}  // namespace

bool AnsiWindows() {
  // Anything but the NT family is taken for the 95/98/Me family, as start-up
  // takes it; a system that does not answer gets the functions every
  // Windows has.
  static const bool ansi = platform::Win32SystemInfo().PlatformId() != platform::VER_PLATFORM_WIN32_NT ||
                           LookUpWide<void*>("user32.dll", "CreateWindowExW") == nullptr;
  return ansi;
}

bool RegisterWindowClass(const char* name, WNDPROC procedure, HBRUSH background) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  const HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  if (AnsiWindows()) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = arrow;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return ::RegisterClassA(&windowClass) != 0;
  }
  const std::wstring wideName = WideAscii(name);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = arrow;
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = wideName.c_str();
  return NT_WIDE("user32.dll", RegisterClassW)(&windowClass) != 0;
}

HWND MakeWindow(DWORD exStyle, const char* className, DWORD style, Bounds bounds, HWND parent, HMENU menu,
                void* param) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  if (AnsiWindows())
    return ::CreateWindowExA(exStyle, className, "", style, bounds.left, bounds.top, bounds.width, bounds.height,
                             parent, menu, instance, param);
  return NT_WIDE("user32.dll", CreateWindowExW)(exStyle, WideAscii(className).c_str(), L"", style, bounds.left, bounds.top, bounds.width,
                           bounds.height, parent, menu, instance, param);
}

// The creation parameter is the first member of both kinds' CREATESTRUCT.
void* CreationParam(LPARAM createStruct) { return reinterpret_cast<CREATESTRUCTA*>(createStruct)->lpCreateParams; }

LRESULT DefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return AnsiWindows() ? ::DefWindowProcA(hwnd, message, wParam, lParam)
                       : NT_WIDE("user32.dll", DefWindowProcW)(hwnd, message, wParam, lParam);
}

BOOL NextMessage(MSG& message) {
  return AnsiWindows() ? ::GetMessageA(&message, nullptr, 0, 0) : NT_WIDE("user32.dll", GetMessageW)(&message, nullptr, 0, 0);
}

bool DialogMessage(HWND dialog, MSG& message) {
  return (AnsiWindows() ? ::IsDialogMessageA(dialog, &message) : NT_WIDE("user32.dll", IsDialogMessageW)(dialog, &message)) != FALSE;
}

void Dispatch(const MSG& message) {
  if (AnsiWindows())
    ::DispatchMessageA(&message);
  else
    NT_WIDE("user32.dll", DispatchMessageW)(&message);
}

bool HasClass(HWND hwnd, const char* name) {
  char found[64] = {};
  if (::GetClassNameA(hwnd, found, sizeof found) <= 0) return false;
  return ::lstrcmpiA(found, name) == 0;
}

}  // namespace tk
