// The program's own characters in code page 932, from a table made at build
// time from its sources (scripts/cp932-texts.sh), for a system without code
// page 932: there the NT family still shows the Japanese texts through the
// wide functions, and no text needs the system's conversion to start.
// Threads: any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

struct OwnCharacter {
  uint16_t utf16;
  uint16_t cp932;  // one byte below 0x100 (half-width katakana), else lead and trail byte
};

// Sorted by utf16; made by the build.
extern const OwnCharacter kOwnCharacters[];
extern const std::size_t kOwnCharacterCount;

// ASCII as it is; a character outside the table becomes '?' (the system's
// own default character) one way and U+30FB ('・', as the system shows a
// byte pair it cannot read) the other.
std::wstring OwnCp932ToUtf16(std::string_view cp932);
std::string OwnUtf16ToCp932(std::wstring_view text);

}  // namespace tk
