// A built program on a pseudo-terminal of its own, as an operator starts it
// from a shell: stdin, stdout and stderr on the terminal (unless the
// launch's inChild moves one), which is its controlling terminal with the
// usual settings (echo, line editing, Ctrl+C and Ctrl+D, "\n" shown as
// "\r\n"), 80 columns wide. What the terminal shows is read as it comes,
// waiting by condition, never for a fixed time.
// Linux only (tests/support/linux/).
// Threads: the test thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tests/support/program_run.h"

namespace test_process {

class PtyProgram {
 public:
  explicit PtyProgram(const Launch& launch);
  // Kills a program still running, and reaps it.
  ~PtyProgram();
  PtyProgram(const PtyProgram&) = delete;
  PtyProgram& operator=(const PtyProgram&) = delete;

  bool Started() const { return pid_ > 0; }
  // Reads until `seen` holds for everything shown so far, the program has
  // closed the terminal, or the deadline; returns what `seen` says then.
  bool WaitFor(const std::function<bool(const std::string& shown)>& seen, int timeoutMs);
  // As typed at the keyboard: "y\n", "\x03" (Ctrl+C), "\x04" (Ctrl+D).
  void Type(std::string_view keys);
  // Reads to the end and reaps the program (killed at the deadline); `out`
  // is everything the terminal showed, `err` empty.
  Outcome Finish(int timeoutMs);

 private:
  // Waits up to `waitMs` for output; false once nothing can come any more.
  bool ReadSome(int waitMs);

  int master_ = -1;
  int pid_ = -1;
  bool closed_ = false;
  std::string shown_;
};

}  // namespace test_process
