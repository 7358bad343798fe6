#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include "platform/standard_streams.h"

namespace platform {

namespace {

// Where stdout and stderr were when claimed: copies above the standard
// numbers, closed on exec. Until then (the tests, which claim nothing) the
// standard numbers themselves.
std::atomic<int> outFd{STDOUT_FILENO};
std::atomic<int> errFd{STDERR_FILENO};

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

void OpenOnNullDevice(int fd) {
  const int opened = open("/dev/null", O_RDWR);
  if (opened < 0 || opened == fd) return;
  dup2(opened, fd);
  close(opened);
}

int KeptCopy(int fd) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  return copy >= 0 ? copy : fd;
}

bool WriteWhole(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

void ClaimStandardStreams() {
  // In order: a closed 0 is filled before 1 is looked at, so each open
  // lands on the lowest free number, the one being filled.
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
    if (!IsOpen(fd)) OpenOnNullDevice(fd);
  outFd.store(KeptCopy(STDOUT_FILENO));
  errFd.store(KeptCopy(STDERR_FILENO));
}

bool WriteToStdout(std::string_view text) { return WriteWhole(outFd.load(), text); }

bool WriteToStderr(std::string_view text) { return WriteWhole(errFd.load(), text); }

}  // namespace platform
