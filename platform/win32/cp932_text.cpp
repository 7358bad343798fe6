#include "platform/win32/cp932_text.h"

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// ZX_REFUSED_CODE_PAGES: code pages, separated by commas, that every
// conversion here treats as missing from the system. Wine installs every
// code page; the end-to-end checks take 932 away (a Western Windows without
// the East Asian language files) and 65001 (Windows 95, which converts no
// UTF-8) with it.
bool Refused(unsigned codePage) {
  static const std::string refused = [] {
    const char* listed = std::getenv("ZX_REFUSED_CODE_PAGES");
    return listed == nullptr ? std::string() : "," + std::string(listed) + ",";
  }();
  return refused.find("," + std::to_string(codePage) + ",") != std::string::npos;
}

}  // namespace

bool CodePageInstalled(unsigned codePage) { return !Refused(codePage) && ::IsValidCodePage(codePage) != FALSE; }

std::optional<std::wstring> CodePageToUtf16(unsigned codePage, std::string_view bytes) {
  if (Refused(codePage)) return std::nullopt;
  if (bytes.empty()) return std::wstring();
  if (bytes.size() > INT_MAX) return std::nullopt;
  const int inLen = static_cast<int>(bytes.size());
  const int outLen = ::MultiByteToWideChar(codePage, 0, bytes.data(), inLen, nullptr, 0);
  if (outLen <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  if (::MultiByteToWideChar(codePage, 0, bytes.data(), inLen, wide.data(), outLen) != outLen) return std::nullopt;
  return wide;
}

namespace {

// A character beyond the basic plane (an emoji) is two UTF-16 units, which
// the system would turn into two default characters; no code page but UTF-8
// holds one, so it is one '?' like any other character that does not fit.
std::wstring PairsAsOneUnknown(std::wstring_view text) {
  std::wstring single;
  single.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    single.push_back(pair ? L'?' : text[i]);
    if (pair) ++i;
  }
  return single;
}

}  // namespace

std::optional<std::string> Utf16ToCodePage(unsigned codePage, std::wstring_view whole) {
  if (Refused(codePage)) return std::nullopt;
  const std::wstring single = codePage == CP_UTF8 ? std::wstring() : PairsAsOneUnknown(whole);
  const std::wstring_view text = codePage == CP_UTF8 ? whole : std::wstring_view(single);
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
