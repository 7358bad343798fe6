#include "platform/win32/win32_dialogs.h"

#include <string>

#include "platform/win32/cp932_text.h"
#include "platform/win32/windows_api.h"

namespace platform {

static_assert(WIN32_MESSAGE_STYLE == (MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST));
static_assert(WIN32_FATAL_STYLE == (MB_OK | MB_SYSTEMMODAL | MB_ICONERROR));

namespace {

using MessageBoxWideFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// Looked up, not imported: the import check admits no wide call, and on
// the 95/98/Me family a wide call may be a stub that fails.
MessageBoxWideFn MessageBoxWide() {
  static const auto found = reinterpret_cast<MessageBoxWideFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "MessageBoxW")));
  return found;
}

std::string InCodePage(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
  narrow.resize(static_cast<std::size_t>(size) - 1);
  return narrow;
}

class RealCalls final : public Win32BoxCalls {
 public:
  void MessageBoxW(const std::wstring& text, const std::wstring& caption, uint32_t style) override {
    const MessageBoxWideFn wide = MessageBoxWide();
    if (wide != nullptr && wide(nullptr, text.c_str(), caption.c_str(), style) != 0) return;
    // No wide box: the same text in the system's code page.
    ::MessageBoxA(nullptr, InCodePage(text).c_str(), InCodePage(caption).c_str(), style);
  }
  void MessageBoxA(const std::string& text, const std::string& caption, uint32_t style) override {
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  }
  void MessageBeep(uint32_t type) override { ::MessageBeep(type); }
};

}  // namespace

Win32BoxCalls& RealWin32BoxCalls() {
  static RealCalls calls;
  return calls;
}

Win32Dialogs::Win32Dialogs(std::string titleCp932, Win32BoxCalls& calls)
    : title_(std::move(titleCp932)), calls_(calls) {}

void Win32Dialogs::ShowMessage(std::string_view cp932) {
  const auto text = Cp932ToUtf16(cp932);
  const auto caption = Cp932ToUtf16(title_);
  if (text && caption)
    calls_.MessageBoxW(*text, *caption, WIN32_MESSAGE_STYLE);
  else
    calls_.MessageBoxA(std::string(cp932), title_, WIN32_MESSAGE_STYLE);
}

void Win32Dialogs::ShowFatalError(std::string_view text, std::string_view caption) {
  calls_.MessageBoxA(std::string(text), std::string(caption), WIN32_FATAL_STYLE);
}

void Win32Dialogs::Beep() { calls_.MessageBeep(0); }

}  // namespace platform
