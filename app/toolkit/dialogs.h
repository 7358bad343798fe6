// Message boxes and the beep, behind an interface so that tests can see
// which boxes appeared without a person to close them.
// Threads: any; a box always runs on the window thread while the caller
// waits until it is closed.
#pragma once

#include <string>
#include <string_view>

namespace tk {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal, no icon, one OK button, the application title (application.h)
  // as caption.
  virtual void ShowMessage(std::string_view cp932) = 0;
  // Error box with an error icon and the given caption, modal for the whole
  // application and on top of every window (Qt has no system-modal boxes).
  virtual void ShowFatalError(std::string_view text, std::string_view caption) = 0;
  // The default system sound.
  virtual void Beep() = 0;
};

class QtDialogs final : public Dialogs {
 public:
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override;
};

}  // namespace tk
