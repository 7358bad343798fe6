// Drive commands through each back-end against a bare hand-over, and the
// heap allocations each command makes once warm.
// Threads: the caller's (no window needed).
#pragma once

#include <string>

#include "bench/measure.h"

namespace bench {

struct CommandFigures {
  Comparison timing;
  double allocationsPerCommand = 0;
  // The stand-in device alone, called on the caller's thread: the part of a
  // command that a real drive would replace (simulator only).
  double deviceUs = 0;
};

// A family read (32 bytes at 0x4500) from a virtual drive on D:, through
// the pass-through simulator over the demo's virtual device layer.
CommandFigures SimulatorCommand(int rounds, int batch);

// The same through the virtual ASPI library, loaded from `libraryFolder`.
CommandFigures LibraryCommand(int rounds, int batch, const std::string& libraryFolder);

// The same command through the simulator with the command trace written to a
// scratch file, against the command without it.
Comparison TracedCommand(int rounds, int batch);

}  // namespace bench
