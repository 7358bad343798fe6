#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/linux/linux_system_info.h"

namespace platform {

namespace {

// The locale that decides message language, by POSIX precedence: the first
// of LC_ALL, LC_MESSAGES, LANG that is set and not empty.
std::string_view MessageLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

// "ja", "ja_JP.UTF-8", "ja_JP.eucJP" and the old alias "japanese" all start
// with the language code.
bool IsJapanese(std::string_view locale) { return locale.substr(0, 2) == "ja"; }

}  // namespace

uint32_t LinuxSystemInfo::PlatformId() { return VER_PLATFORM_WIN32_NT; }

uint16_t LinuxSystemInfo::SystemDefaultLangID() {
  return IsJapanese(MessageLocale()) ? LANG_ID_JAPANESE : LANG_ID_ENGLISH_US;
}

std::string LinuxSystemInfo::OwnExecutablePath() {
  // readlink does not say whether it truncated: grow until the result fits
  // with room to spare.
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
