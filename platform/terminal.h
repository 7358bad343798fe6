// The program's standard streams as a console program sees them: whether
// one is a terminal (an operator who can answer and watch a bar) or a file
// or pipe (a script), and text in the form the console shows.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class StandardStream { In, Out, Err };

bool IsTerminal(StandardStream stream);

// UTF-8 text as the console shows it: Linux takes UTF-8 as it is; Windows
// gets it in the console's code page (the ANSI one when there is no
// console), a character the page lacks shown as '?'.
std::string ForConsole(std::string_view utf8);

}  // namespace platform
