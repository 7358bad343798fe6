// What the toolkit's contract cases need of a back-end and cannot say
// through the toolkit's interface: turning the event loop while the test
// waits, the operator's hand on the open dialog and on the keyboard. One
// implementation per back-end (tests/support/toolkit/<back-end>/), with the
// test program's entry, which makes the one application object.
// Threads: the window thread (the test's thread).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/toolkit/application.h"
#include "app/toolkit/form.h"

namespace toolkit_test {

// The application object the entry made.
tk::Application& TheApplication();

// Turns the event loop until done() or, as a safety net for a hung
// back-end, the given time has passed; returns done().
bool TurnEventLoopUntil(const std::function<bool()>& done, int safetyNetMs = 30000);

// The file-open dialog that is open and shown on the window thread: answers
// it as the operator would, choosing `path` (CP932) or cancelling when there
// is none, and returns the descriptions its file-type list offered;
// nullopt, leaving everything alone, when no such dialog is up yet.
std::optional<std::vector<std::string>> AnswerOpenDialog(const std::optional<std::string>& path);

// The operator presses Ctrl and `letter` (upper case) in the form, which is
// shown, bringing it to the front first where the key needs that.
void PressCtrlKey(tk::Form& form, char letter);

}  // namespace toolkit_test
