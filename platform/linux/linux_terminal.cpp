#include <unistd.h>

#include "platform/terminal.h"

namespace platform {

bool IsTerminal(StandardStream stream) {
  const int fd = stream == StandardStream::In    ? STDIN_FILENO
                 : stream == StandardStream::Out ? STDOUT_FILENO
                                                 : STDERR_FILENO;
  return ::isatty(fd) == 1;
}

std::string ForConsole(std::string_view utf8) { return std::string(utf8); }

}  // namespace platform
