// The core's message boxes on a console: a box's text becomes a line on
// stderr (recorded in the command trace first, as the window's boxes are),
// and a fatal error, which in the window ends the program once the
// operator has closed its box, ends it here with a failure status.
// Threads: any.
#pragma once

#include "cli/console.h"
#include "platform/dialogs.h"

class ConsoleDialogs final : public platform::Dialogs {
 public:
  explicit ConsoleDialogs(Console& console) : console_(console) {}
  void ShowMessage(std::string_view cp932) override;
  [[noreturn]] void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override {}

 private:
  Console& console_;
};
