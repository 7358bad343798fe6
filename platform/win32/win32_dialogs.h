// Message boxes and the beep on Windows. A plain message is CP932 text shown
// with MessageBoxW after conversion (MessageBoxA with the raw bytes on a
// system that cannot convert from code page 932); the fatal error box is
// MessageBoxA with MB_SYSTEMMODAL | MB_ICONERROR, as the ASPI library
// back-end asks; the beep is MessageBeep(0).
//
// Unlike the window toolkit's boxes, these run on the calling thread, with
// the system's own modal loop, and have no owner window: a caller on
// another thread than the window's waits all the same, but the window keeps
// answering meanwhile.
// Threads: any.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace platform {

// The three system calls; replaced by a recording fake in tests, since a
// real box waits for a person.
// Threads: any.
class Win32BoxCalls {
 public:
  virtual ~Win32BoxCalls() = default;
  virtual void MessageBoxW(const std::wstring& text, const std::wstring& caption, uint32_t style) = 0;
  virtual void MessageBoxA(const std::string& text, const std::string& caption, uint32_t style) = 0;
  virtual void MessageBeep(uint32_t type) = 0;
};

Win32BoxCalls& RealWin32BoxCalls();

// MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST: the program's
// window stays on top of all others, so its boxes must too.
inline constexpr uint32_t WIN32_MESSAGE_STYLE = 0x00052000;
// MB_OK | MB_SYSTEMMODAL | MB_ICONERROR.
inline constexpr uint32_t WIN32_FATAL_STYLE = 0x00001010;

class Win32Dialogs final : public Dialogs {
 public:
  // titleCp932: the caption of plain messages, the application title.
  explicit Win32Dialogs(std::string titleCp932, Win32BoxCalls& calls = RealWin32BoxCalls());
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override;

 private:
  const std::string title_;
  Win32BoxCalls& calls_;
};

}  // namespace platform
