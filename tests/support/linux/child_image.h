// What both test runners (program_run.h, pty_program.h) need to start a
// program: its arguments and environment made ready before the fork, as
// the child of a process with threads may only make async-signal-safe
// calls, and a start like a shell's for a job in the foreground. Also the
// descriptors the runners own.
// Threads: the test thread; Exec in the child only.
#pragma once

#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace test_process {

class ChildImage {
 public:
  explicit ChildImage(const Launch& launch);
  ChildImage(const ChildImage&) = delete;
  ChildImage& operator=(const ChildImage&) = delete;

  // In the child: no signal blocked; SIGINT, SIGQUIT and SIGPIPE with their
  // default actions whatever the test run's are (a test run started in the
  // background ignores SIGINT and SIGQUIT); the launch's inChild; exec.
  // Ends the child with status 127 when the program cannot be started.
  [[noreturn]] void Exec() const;

 private:
  const Launch& launch_;
  std::vector<std::string> strings_;
  std::vector<char*> argv_;
  std::vector<char*> envp_;
};

// The exit status or signal of a wait status.
void SetEnd(Outcome& outcome, int waitStatus);

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int Get() const { return fd_; }
  // Closes the descriptor held, and holds `fd`.
  void Reset(int fd = -1);

 private:
  int fd_;
};

}  // namespace test_process
