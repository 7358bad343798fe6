#include "tests/support/program_run.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/linux/child_image.h"

namespace test_process {

namespace {

// How often a running program is looked at (its end, `watch`) when it writes nothing.
constexpr int kLookMs = 10;

struct Channel {
  UniqueFd read;
  UniqueFd write;
  bool open = false;
};

bool MakePipe(Channel& channel) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  channel.read.Reset(ends[0]);
  channel.write.Reset(ends[1]);
  // The reading end alone: the program writes to its end as to any pipe, blocking when it is full.
  channel.open = ::fcntl(ends[0], F_SETFL, O_NONBLOCK) == 0;
  return channel.open;
}

// Takes what the pipe holds now; notes its end.
void Drain(Channel& channel, std::string& into) {
  char buffer[4096];
  while (channel.open) {
    const ssize_t n = ::read(channel.read.Get(), buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      channel.open = n < 0 && errno == EAGAIN;
      return;
    }
  }
}

}  // namespace

Launch DemoLaunch(const std::string& program, std::vector<std::string> args) {
  return {
      program, std::move(args), {{"QT_QPA_PLATFORM", "offscreen"}, {"ZX_VIRTUAL_ASPI", std::nullopt}}, {}};
}

Outcome Run(const Launch& launch, int timeoutMs, const std::function<void(int pid)>& watch) {
  const ChildImage image(launch);
  Channel out;
  Channel err;
  const UniqueFd nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  Outcome outcome;
  if (!MakePipe(out) || !MakePipe(err) || nothing.Get() < 0) return outcome;
  const pid_t pid = ::fork();
  if (pid < 0) return outcome;
  if (pid == 0) {
    ::dup2(nothing.Get(), STDIN_FILENO);
    ::dup2(out.write.Get(), STDOUT_FILENO);
    ::dup2(err.write.Get(), STDERR_FILENO);
    image.Exec();
  }
  out.write.Reset();
  err.write.Reset();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      outcome.signal = SIGKILL;
      return outcome;
    }
    if (watch) watch(pid);
    // A closed pipe is left out (a negative descriptor): it would wake the poll at once.
    pollfd fds[2] = {{out.open ? out.read.Get() : -1, POLLIN, 0},
                     {err.open ? err.read.Get() : -1, POLLIN, 0}};
    ::poll(fds, 2, kLookMs);
    Drain(out, outcome.out);
    Drain(err, outcome.err);
  }
  // What it wrote last is still in the pipes.
  Drain(out, outcome.out);
  Drain(err, outcome.err);
  SetEnd(outcome, status);
  return outcome;
}

}  // namespace test_process
