#include <io.h>

#include <cstdint>

#include "platform/terminal.h"
#include "platform/win32/cp932_text.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// Decoded here: Windows 95 has no UTF-8 code page to convert with. A
// malformed sequence becomes U+FFFD.
std::wstring Utf8ToUtf16(std::string_view utf8) {
  std::wstring out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    const int extra = lead < 0x80           ? 0
                      : (lead >> 5) == 0x6  ? 1
                      : (lead >> 4) == 0xE  ? 2
                      : (lead >> 3) == 0x1E ? 3
                                            : -1;
    uint32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool whole = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; whole && k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(utf8[i + static_cast<std::size_t>(k)]);
      whole = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    i += whole ? static_cast<std::size_t>(extra) + 1 : 1;
    if (!whole) code = 0xFFFD;
    if (code >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code));
    }
  }
  return out;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
  const int fd = stream == StandardStream::In ? 0 : stream == StandardStream::Out ? 1 : 2;
  return ::_isatty(fd) != 0;
}

std::string ForConsole(std::string_view utf8) {
  UINT page = ::GetConsoleOutputCP();
  if (page == 0) page = ::GetACP();
  if (std::optional<std::string> text = Utf16ToCodePage(page, Utf8ToUtf16(utf8))) return *text;
  return std::string(utf8);
}

}  // namespace platform
