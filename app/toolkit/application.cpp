#include "app/toolkit/application.h"

#include <QGuiApplication>
#include <mutex>
#include <optional>

#include "app/toolkit/text.h"

namespace tk {

namespace {

std::mutex titleLock;
std::optional<std::string> title;

}  // namespace

void SetApplicationTitle(std::string_view cp932) {
  std::lock_guard guard(titleLock);
  title = std::string(cp932);
}

std::string ApplicationTitle() {
  {
    std::lock_guard guard(titleLock);
    if (title) return *title;
  }
  return ToCp932(QGuiApplication::applicationDisplayName());
}

}  // namespace tk
