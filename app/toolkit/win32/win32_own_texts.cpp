#include "app/toolkit/win32/win32_own_texts.h"

#include <algorithm>

namespace tk {

namespace {

constexpr wchar_t UNREADABLE = 0x30FB;

bool LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

const OwnCharacter* ByCp932(uint16_t code) {
  const OwnCharacter* const end = kOwnCharacters + kOwnCharacterCount;
  const OwnCharacter* found = std::find_if(kOwnCharacters, end, [&](const OwnCharacter& c) { return c.cp932 == code; });
  return found == end ? nullptr : found;
}

const OwnCharacter* ByUtf16(uint16_t code) {
  const OwnCharacter* const end = kOwnCharacters + kOwnCharacterCount;
  const OwnCharacter* found =
      std::lower_bound(kOwnCharacters, end, code, [](const OwnCharacter& c, uint16_t u) { return c.utf16 < u; });
  return found != end && found->utf16 == code ? found : nullptr;
}

}  // namespace

std::wstring OwnCp932ToUtf16(std::string_view cp932) {
  std::wstring text;
  text.reserve(cp932.size());
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    const auto byte = static_cast<unsigned char>(cp932[i]);
    if (byte < 0x80) {
      text += static_cast<wchar_t>(byte);
      continue;
    }
    uint16_t code = byte;
    if (LeadByte(byte) && i + 1 < cp932.size()) code = static_cast<uint16_t>(byte << 8 | static_cast<unsigned char>(cp932[++i]));
    const OwnCharacter* own = ByCp932(code);
    text += own != nullptr ? static_cast<wchar_t>(own->utf16) : UNREADABLE;
  }
  return text;
}

std::string OwnUtf16ToCp932(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto unit = static_cast<uint16_t>(text[i]);
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
      continue;
    }
    // A pair beyond the basic plane is one character: one '?'.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    const OwnCharacter* own = ByUtf16(unit);
    if (own == nullptr) {
      bytes += '?';
    } else {
      if (own->cp932 > 0xFF) bytes += static_cast<char>(own->cp932 >> 8);
      bytes += static_cast<char>(own->cp932 & 0xFF);
    }
  }
  return bytes;
}

}  // namespace tk
