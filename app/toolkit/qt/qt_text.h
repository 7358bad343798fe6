// CP932 bytes to and from Qt's Unicode strings, where texts cross into Qt.
// Qt back-end only (and its tests).
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

}  // namespace tk
