// Message boxes and the beep, as the operating system offers them, behind an
// interface so that tests can see which boxes appeared without a person to
// close them. The window layer implements it with its toolkit, on every
// system.
// Threads: any; a box always runs on the window thread while the caller
// waits until it is closed.
#pragma once

#include <string_view>

namespace platform {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal, no icon, one OK button, the application title as caption. The
  // text is CP932.
  virtual void ShowMessage(std::string_view cp932) = 0;
  // Error box with an error icon and the given caption, modal for the whole
  // system where the system allows it, on top of every window.
  virtual void ShowFatalError(std::string_view text, std::string_view caption) = 0;
  // The default system sound.
  virtual void Beep() = 0;
};

}  // namespace platform
