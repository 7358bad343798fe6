// Shift-JIS (code page 932) text to UTF-16 for the system's wide functions,
// which show it right whatever the system's own code page is.
// Threads: any.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// nullopt when the system cannot convert from code page 932 at all (a
// system without it installed). A byte sequence that is not CP932 comes out
// as the system's replacement character rather than failing the whole text.
std::optional<std::wstring> Cp932ToUtf16(std::string_view cp932);

}  // namespace platform
