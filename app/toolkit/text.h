// The program's texts are CP932 (Shift-JIS) bytes; Qt wants Unicode. Texts
// are converted only where they cross into Qt, as whole strings. CP932 keeps
// 0x5C a backslash, unlike strict Shift-JIS, which would make it a yen sign.
// Threads: any.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tk {

// Bytes that are not valid CP932 become the substitute character U+001A.
QString FromCp932(std::string_view bytes);
// Characters that CP932 cannot hold become '?'.
std::string ToCp932(const QString& text);
// False when this Qt cannot convert CP932 at all (a Qt built without ICU):
// every text would then come out empty, so the program must not start.
bool Cp932Available();
// For texts kept readable (UTF-8) in the source: their CP932 bytes.
std::string Cp932(std::string_view utf8);
std::string Cp932(std::u8string_view utf8);

}  // namespace tk
