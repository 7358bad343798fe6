// Message boxes and the beep, behind an interface so that tests can see
// which boxes appeared without a person to close them.
// Threads: any; a box always runs on the window thread while the caller
// waits until it is closed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace tk {

using Dialogs = platform::Dialogs;

// The window's own boxes. Plain boxes carry the application title
// (application.h) as caption. The fatal box is modal for the whole
// application and on top of every window (Qt has no system-modal boxes).
class WindowDialogs final : public Dialogs {
 public:
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override;
};

// A file-open dialog. The filter is pairs of a description and a pattern,
// each separated by '|' ("Firmware File (*.bin)|*.bin|All Files (*.*)|*.*").
class OpenDialog {
 public:
  explicit OpenDialog(std::string filterPairs) : filter(std::move(filterPairs)) {}
  // Shows the dialog, modal, and waits for it: the chosen file's path
  // (CP932 bytes), or nullopt when the operator cancelled. Window thread.
  std::optional<std::string> Execute() const;

  std::string filter;
};

// For a run nobody watches: presses OK on the message box that is open on
// the window thread, if one is; the text it showed (CP932), or nullopt when
// none was open. Window thread.
std::optional<std::string> PressOpenMessageBox();

}  // namespace tk
