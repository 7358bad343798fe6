// The program's texts are CP932 (Shift-JIS) bytes; the toolkits want
// Unicode. Texts are converted only where they cross into the toolkit, as
// whole strings (the Qt back-end: app/toolkit/qt/qt_text.h; the Win32
// back-end: the system's code page 932). CP932 keeps 0x5C a backslash,
// unlike strict Shift-JIS, which would make it a yen sign.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

namespace tk {

// False when this toolkit cannot convert CP932 at all (a Qt built without
// ICU): every text would then come out empty, so the program must not
// start. The Win32 one always can: without the system's code page 932 it
// converts the program's own texts through a table of its own.
bool Cp932Available();
// For texts kept readable (UTF-8) in the source: their CP932 bytes.
// Characters that CP932 cannot hold become '?'.
std::string Cp932(std::string_view utf8);
std::string Cp932(std::u8string_view utf8);
// A text in the system's own encoding (a file path: UTF-8 on Linux, the
// ANSI code page on Windows) as CP932 bytes; characters CP932 lacks become '?'.
std::string Cp932FromSystem(std::string_view native);
// CP932 bytes as UTF-8, for lines on a terminal. Bytes that are not valid
// CP932 become U+001A (the Qt back-end) or the system's replacement.
std::string Utf8(std::string_view cp932);

}  // namespace tk
