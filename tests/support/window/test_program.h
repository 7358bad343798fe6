// A Program over the fakes (tests/support/fakes.h); any of them may be
// swapped before use by building Program from custom Services instead.
// Waits are short.
// Threads: the recording fakes may be called from any thread.
#pragma once

#include <memory>

#include "app/program.h"
#include "tests/support/fakes.h"

namespace fakes {

struct TestProgram {
  FakeSystemInfo system;
  RecordingPower power;
  NoLibraries libraries;
  NoDevices devices;
  RecordingDialogs dialogs;
  std::unique_ptr<Program> program;

  TestProgram();
  Program& operator*() { return *program; }
  Program* operator->() { return program.get(); }
};

}  // namespace fakes
