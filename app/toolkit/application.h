// The application title: what the operator sees as the program's name, and
// the caption of the plain message boxes.
//
// Kept here rather than in QGuiApplication::applicationDisplayName, which
// the X11 platform appends to every window caption ("caption - title"); the
// window's caption must stay exactly what the program sets.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

namespace tk {

void SetApplicationTitle(std::string_view cp932);
// The title set last; until one is set, Qt's application display name.
std::string ApplicationTitle();

}  // namespace tk
