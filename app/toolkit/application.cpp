// The application title, the same on every back-end.
#include "app/toolkit/application.h"

#include <optional>

#include "app/toolkit/native.h"
#include "platform/lock.h"

namespace tk {

namespace {

platform::Mutex titleLock;
std::optional<std::string> title;  // guarded by titleLock

}  // namespace

void SetApplicationTitle(std::string_view cp932) {
  platform::LockGuard guard(titleLock);
  title = std::string(cp932);
}

std::string ApplicationTitle() {
  {
    platform::LockGuard guard(titleLock);
    if (title) return *title;
  }
  return native::ToolkitApplicationName();
}

}  // namespace tk
