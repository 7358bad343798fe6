// UTF-8 to UTF-16 and back, done here rather than by the system: Windows 95
// has no UTF-8 conversion (MultiByteToWideChar and WideCharToMultiByte
// refuse CP_UTF8 there), and the program's own texts are written in UTF-8.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Each byte that does not begin a well-formed sequence (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate or
// a value past U+10FFFF) becomes one U+FFFD.
std::wstring Utf8ToUtf16(std::string_view utf8);
// A surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::wstring_view text);

}  // namespace platform
