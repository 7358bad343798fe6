// Paths that exist but hold no readable bytes for the program: a socket and a
// FIFO (neither is a regular file; opening the FIFO for reading would block),
// and a regular file whose permissions forbid reading, which stops only users
// without the right to override permissions (not root).
// Threads: test thread only.
#pragma once

#include <string>

namespace reliability {

// A listening socket bound to a path, unbound and closed at the end of the scope.
class SocketFile {
 public:
  explicit SocketFile(std::string path);
  ~SocketFile();
  SocketFile(const SocketFile&) = delete;
  SocketFile& operator=(const SocketFile&) = delete;
  bool Made() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

// True when the FIFO was made.
bool MakeFifo(const std::string& path);

// Takes every permission from an existing file; true when it then really
// cannot be opened for reading by this process.
bool MakeUnreadable(const std::string& path);

}  // namespace reliability
