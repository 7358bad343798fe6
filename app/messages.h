// Numbered status messages in English and Japanese, the current StatusCode and
// its MessageBuffer, the language choice and the caption sets.
//
// StatusCode and MessageBuffer are written by the window thread and the flash
// thread; both sit behind one lock, and SetStatus plus the read of the
// buffer for showing happen as one locked step, so each thread's messages
// appear in its own order and never torn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware/status_message.h"
#include "platform/lock.h"

struct Program;
class TForm1;

inline constexpr std::size_t MESSAGE_BUFFER_SIZE = 132;

class StatusMessages {
 public:
  // Sets StatusCode; fills MessageBuffer when the code has a row. Returns the
  // buffer's text as it stands afterwards. Threads: any.
  std::string SetStatus(StatusMsg code, bool japanese);
  StatusMsg StatusCode() const;
  std::string MessageBuffer() const;  // CP932 bytes up to the terminating zero

 private:
  mutable platform::Mutex lock_;
  StatusMsg statusCode_ = StatusMsg::StartFlashing;
  char messageBuffer_[MESSAGE_BUFFER_SIZE] = {};
};

// The table's text for a code in one language; nullptr for codes without a row.
const char* StatusText(uint8_t code, bool japanese);
inline const char* StatusText(StatusMsg code, bool japanese) {
  return StatusText(static_cast<uint8_t>(code), japanese);
}

// How the last run ended, for a stderr line once the window is gone or
// closing: "Flashing Completed" after a success, else the message the
// failure left (English, on one line). Threads: any.
std::string RunOutcomeInEnglish(const Program& program);

// SetStatus in the current language; returns the MessageBuffer as it stands
// afterwards. Threads: any.
std::string SetStatus(Program& program, StatusMsg code);
// SetStatus, then RichEdit1 gets the MessageBuffer, both as one step on the
// window thread, so the message area always shows the text of the status set
// last. Threads: any.
void ShowStatus(Program& program, TForm1& form, StatusMsg code);
// As ShowStatus, and RichEdit1 is repainted before the call returns (flash thread).
void ShowStatusNow(Program& program, TForm1& form, StatusMsg code);

// Why the session's end is held back during a run, in the current
// language (CP932). Threads: any.
std::string SessionEndReason(const Program& program);

// The start-up language step. Window thread.
void ChooseLanguage(Program& program, TForm1& form);
