// Message boxes and the beep, behind an interface so that tests can see
// which boxes appeared without a person to close them.
// Threads: any; a box always runs on the window thread while the caller
// waits until it is closed.
#pragma once

#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace tk {

using Dialogs = platform::Dialogs;

// Plain boxes carry the application title (application.h) as caption. Qt has
// no system-modal boxes: the fatal box is modal for the whole application
// and on top of every window.
class QtDialogs final : public Dialogs {
 public:
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override;
};

}  // namespace tk
