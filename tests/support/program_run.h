// A built program run whole, as a script starts it: stdin from /dev/null,
// stdout and stderr read apart, its end awaited up to a deadline. What it
// is started with (launch) is shared with the terminal runner
// (pty_program.h). Linux only (tests/support/linux/): the tests that run
// the programs whole are Linux ones.
// Threads: the test thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_process {

struct Launch {
  std::string program;  // a path: no search through PATH
  std::vector<std::string> args;
  // Changes to the test's own environment: a value, or std::nullopt to leave the name out.
  std::vector<std::pair<std::string, std::optional<std::string>>> env;
  // Called in the child just before exec, after its standard descriptors are
  // set: only async-signal-safe calls (setrlimit, signal, open, dup2, close).
  std::function<void()> inChild;
};

struct Outcome {
  int exitCode = -1;  // -1: ended by a signal, or killed at the deadline
  int signal = 0;     // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// A demo program (the window's or the command line's) as the tests start
// it: offscreen, on its own drives whatever virtual ASPI library the test
// run's environment names.
Launch DemoLaunch(const std::string& program, std::vector<std::string> args);

// `watch`, when given, is called with the process id every few milliseconds
// while the program runs (to signal it once a condition holds).
Outcome Run(const Launch& launch, int timeoutMs, const std::function<void(int pid)>& watch = {});

}  // namespace test_process
