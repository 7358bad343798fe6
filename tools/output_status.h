// The exit status of a tool once its standard output has been pushed out:
// a tool that did its work but could not write what it had to say (a full
// disk, a pipe nobody reads any more) says so, with one line on standard
// error, instead of ending as if all were well or dying of SIGPIPE (each
// tool makes a closed pipe fail its writes first: platform::IgnoreClosedPipes).
// Threads: the tool's main thread.
#pragma once

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

// Done, but standard output could not be written.
inline constexpr int OUTPUT_LOST = 3;

// `status` unless `out` could not be written; then OUTPUT_LOST, except that
// a status saying a failure already (1, 2) is kept.
inline int StatusAfterOutput(std::ostream& out, std::ostream& err, const char* program, int status) {
  errno = 0;
  if (out.flush()) return status;
  const int error = errno;
  err << program << ": standard output could not be written"
      << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << std::endl;
  return status == 0 ? OUTPUT_LOST : status;
}
