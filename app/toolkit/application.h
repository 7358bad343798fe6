// The application object and the application title.
//
// The title is what the operator sees as the program's name, and the
// caption of the plain message boxes. It is kept here rather than in Qt's
// application display name, which the X11 platform appends to every window
// caption ("caption - title"); the window's caption must stay exactly what
// the program sets.
// Threads: the title, any; the application object, the window thread (the
// thread that makes it becomes the window thread).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tk {

void SetApplicationTitle(std::string_view cp932);
// The title set last; until one is set, the toolkit's own application name.
std::string ApplicationTitle();

// Ends the running message loop with `status` (window thread).
void ExitMessageLoop(int status);

// The running program's own file name, without its folder, for stderr lines.
std::string ProgramFileName();

// One per program, made before any window. Qt sees no command-line option.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  // Runs the message loop until the last window has closed; returns the
  // status given to ExitMessageLoop, or 0.
  int Run();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tk
