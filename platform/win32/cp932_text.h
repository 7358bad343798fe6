// Text between a code page's bytes (Shift-JIS, code page 932, above all)
// and UTF-16 for the system's wide functions, which show it right whatever
// the system's own code page is. The one place the program converts with
// the system's tables; the window's back-end converts through it too.
// ZX_REFUSED_CODE_PAGES (cp932_text.cpp) makes code pages missing here.
// Threads: any.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr unsigned CODE_PAGE_SHIFT_JIS = 932;

// Whether the system converts from and to `codePage`: a Western Windows
// has no code page 932 unless the East Asian language files were installed.
bool CodePageInstalled(unsigned codePage);

// nullopt when the system cannot convert from `codePage` at all (a system
// without it installed) or the text is too long for the system's calls. A
// byte sequence that is not of the code page comes out as the system's
// replacement character rather than failing the whole text.
std::optional<std::wstring> CodePageToUtf16(unsigned codePage, std::string_view bytes);
// A character the code page lacks, one beyond the basic plane included,
// becomes one '?' (UTF-8 lacks none); nullopt as above.
std::optional<std::string> Utf16ToCodePage(unsigned codePage, std::wstring_view text);

inline std::optional<std::wstring> Cp932ToUtf16(std::string_view cp932) {
  return CodePageToUtf16(CODE_PAGE_SHIFT_JIS, cp932);
}

}  // namespace platform
