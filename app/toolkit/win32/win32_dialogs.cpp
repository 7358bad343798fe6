// Message boxes of the Win32 back-end, in the program's character kind,
// owned by the program's window so that they stay in front of it.
#include "app/toolkit/dialogs.h"
#include "app/toolkit/native.h"
#include "app/toolkit/win32/win32_native.h"

// After <windows.h> (win32_native.h), which it needs.
#include <commdlg.h>

#include <algorithm>

namespace tk {

namespace {

// The system's dialog class, which message boxes are made of, and the id of
// a message box's text.
constexpr char kDialogClass[] = "#32770";
constexpr int kBoxTextId = 0xFFFF;

// The program's window that is in front, when there is one.
HWND Owner() { return ::GetActiveWindow(); }

BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
  if (!HasClass(hwnd, kDialogClass) || !::IsWindowVisible(hwnd)) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

}  // namespace

void native::RunMessageBox(BoxKind kind, std::string_view textCp932, std::string_view captionCp932) {
  const UINT style = kind == BoxKind::Fatal ? MB_OK | MB_SYSTEMMODAL | MB_ICONERROR
                                            : MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
  MessageBoxCp932(Owner(), textCp932, captionCp932, style);
}

void native::Beep() { ::MessageBeep(0); }

std::optional<std::string> OpenDialog::Execute() const {
  // The system's filter: the same pairs, each string ended by a zero byte,
  // the whole list by another.
  std::string pairs = filter;
  std::replace(pairs.begin(), pairs.end(), '|', '\0');
  pairs.append(2, '\0');
  char path[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  // Windows 95/98/Me and NT 4.0 refuse the structure's size from Windows
  // 2000 on (with the places bar's fields) and take only the older one.
  const bool before2000 = (::GetVersion() & 0xFF) < 5;
  dialog.lStructSize = before2000 ? static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A) : DWORD{sizeof(dialog)};
  dialog.hwndOwner = Owner();
  dialog.lpstrFilter = pairs.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameA(&dialog)) return std::nullopt;
  return std::string(path);
}

std::optional<std::string> PressOpenMessageBox() {
  HWND box = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return std::nullopt;
  const HWND ok = ::GetDlgItem(box, IDOK);
  if (ok == nullptr) return std::nullopt;
  std::string text = WindowTextCp932(::GetDlgItem(box, kBoxTextId));
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  return text;
}

}  // namespace tk
