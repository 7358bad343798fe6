// The program's message boxes, passed on to the system's and recorded in
// the command trace, when one is installed, before each box appears.
// Threads: as platform::Dialogs.
#pragma once

#include "platform/dialogs.h"

class TracedDialogs final : public platform::Dialogs {
 public:
  explicit TracedDialogs(platform::Dialogs& inner) : inner_(inner) {}
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override { inner_.Beep(); }

 private:
  platform::Dialogs& inner_;
};
