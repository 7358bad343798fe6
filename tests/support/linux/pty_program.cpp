#include "tests/support/pty_program.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "tests/support/linux/child_image.h"

namespace test_process {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<decltype(left)>(left, 0));
}

}  // namespace

PtyProgram::PtyProgram(const Launch& launch) {
  const ChildImage image(launch);
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  const pid_t pid = ::forkpty(&master_, nullptr, nullptr, &size);
  if (pid == 0) image.Exec();
  pid_ = pid;
  if (master_ >= 0) ::fcntl(master_, F_SETFD, FD_CLOEXEC);
}

PtyProgram::~PtyProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
}

bool PtyProgram::ReadSome(int waitMs) {
  if (closed_ || master_ < 0) return false;
  pollfd fd{master_, POLLIN, 0};
  if (::poll(&fd, 1, waitMs) <= 0) return true;  // nothing yet, or a signal came
  char buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n > 0) {
    shown_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  // Linux answers EIO once every descriptor of the terminal's other side is closed.
  closed_ = n == 0 || errno != EINTR;
  return !closed_;
}

bool PtyProgram::WaitFor(const std::function<bool(const std::string& shown)>& seen, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!seen(shown_) && MsLeft(deadline) > 0)
    if (!ReadSome(MsLeft(deadline))) break;
  return seen(shown_);
}

void PtyProgram::Type(std::string_view keys) {
  while (!keys.empty() && master_ >= 0) {
    const ssize_t n = ::write(master_, keys.data(), keys.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    keys.remove_prefix(static_cast<std::size_t>(n));
  }
}

Outcome PtyProgram::Finish(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Outcome outcome;
  WaitFor([this](const std::string&) { return closed_; }, timeoutMs);
  if (pid_ <= 0) return outcome;
  int status = 0;
  // The terminal closes a moment before the process is gone.
  pid_t reaped = 0;
  while ((reaped = ::waitpid(pid_, &status, WNOHANG)) == 0 && MsLeft(deadline) > 0) ::poll(nullptr, 0, 1);
  if (reaped == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  SetEnd(outcome, status);
  outcome.out = shown_;
  return outcome;
}

}  // namespace test_process
