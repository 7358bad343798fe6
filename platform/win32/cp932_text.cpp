#include "platform/win32/cp932_text.h"

#include <climits>

#include "platform/win32/windows_api.h"

namespace platform {

std::optional<std::wstring> CodePageToUtf16(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  if (bytes.size() > INT_MAX) return std::nullopt;
  const int inLen = static_cast<int>(bytes.size());
  const int outLen = ::MultiByteToWideChar(codePage, 0, bytes.data(), inLen, nullptr, 0);
  if (outLen <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  if (::MultiByteToWideChar(codePage, 0, bytes.data(), inLen, wide.data(), outLen) != outLen) return std::nullopt;
  return wide;
}

std::optional<std::string> Utf16ToCodePage(unsigned codePage, std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > INT_MAX) return std::nullopt;
  const int inLen = static_cast<int>(text.size());
  // UTF-8 takes no default character.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int outLen = ::WideCharToMultiByte(codePage, 0, text.data(), inLen, nullptr, 0, fallback, nullptr);
  if (outLen <= 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(outLen), '\0');
  if (::WideCharToMultiByte(codePage, 0, text.data(), inLen, bytes.data(), outLen, fallback, nullptr) != outLen)
    return std::nullopt;
  return bytes;
}

}  // namespace platform
