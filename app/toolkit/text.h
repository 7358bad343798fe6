// The program's texts are CP932 (Shift-JIS) bytes; Qt wants Unicode. Texts
// are converted only where they cross into Qt, as whole strings.
// Threads: any.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tk {

QString FromCp932(std::string_view bytes);
std::string ToCp932(const QString& text);
// For texts kept readable (UTF-8) in the source: their CP932 bytes.
std::string Cp932(std::string_view utf8);

}  // namespace tk
