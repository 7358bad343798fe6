// The window's message boxes and beep, the same on every back-end: each
// runs on the window thread while the caller waits; the back-end shows them.
#include "app/toolkit/dialogs.h"

#include "app/toolkit/application.h"
#include "app/toolkit/native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

void WindowDialogs::ShowMessage(std::string_view cp932) {
  RunOnWindowThread([&] { native::RunMessageBox(native::BoxKind::Plain, cp932, ApplicationTitle()); });
}

void WindowDialogs::ShowFatalError(std::string_view text, std::string_view caption) {
  RunOnWindowThread([&] { native::RunMessageBox(native::BoxKind::Fatal, text, caption); });
}

void WindowDialogs::Beep() {
  RunOnWindowThread([] { native::Beep(); });
}

}  // namespace tk
