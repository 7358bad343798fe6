#include "platform/win32/utf8_text.h"

#include <cstdint>

namespace platform {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character that begins at `at`, and how many bytes it takes; one byte
// of U+FFFD when they do not make a well-formed sequence.
char32_t Decode(std::string_view utf8, std::size_t at, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t more = 0;
  char32_t value = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    more = 1, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    more = 2, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    more = 3, value = lead & 0x07, least = 0x10000;
  } else {
    return REPLACEMENT;
  }
  if (at + more >= utf8.size()) return REPLACEMENT;
  for (std::size_t i = 1; i <= more; ++i) {
    const auto byte = static_cast<unsigned char>(utf8[at + i]);
    if (!Continuation(byte)) return REPLACEMENT;
    value = value << 6 | (byte & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return REPLACEMENT;
  length = more + 1;
  return value;
}

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring Utf8ToUtf16(std::string_view utf8) {
  std::wstring text;
  text.reserve(utf8.size());
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    const char32_t c = Decode(utf8, at, length);
    if (c < 0x10000) {
      text += static_cast<wchar_t>(c);
    } else {
      text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return text;
}

std::string Utf16ToUtf8(std::wstring_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = static_cast<uint16_t>(text[i]);
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const char32_t next = i + 1 < text.size() ? static_cast<uint16_t>(text[i + 1]) : 0;
    if (high && next >= 0xDC00 && next <= 0xDFFF) {
      Append(utf8, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
      ++i;
    } else {
      Append(utf8, unit >= 0xD800 && unit <= 0xDFFF ? REPLACEMENT : unit);
    }
  }
  return utf8;
}

}  // namespace platform
