// The demo's command line. The product takes no options; the demo stands
// the program in front of virtual drives and says how they behave.
// Threads: any (pure functions).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/command_kind.h"
#include "platform/fifo_hold.h"

namespace demo {

enum class Family { Nt, Win9x };
enum class Language { English, Japanese };

struct DemoFailure {
  emulator::CommandKind kind = emulator::CommandKind::Other;
  uint32_t nth = 1;  // from 1, counted per drive among the commands of the kind
  uint8_t senseByte2 = 0;
};

inline constexpr int MAX_DRIVES = 10;
inline constexpr double MAX_LATENCY_SCALE = 100.0;

struct DemoOptions {
  int drives = 1;
  std::string revision = "1.0A";
  // Unset: the family the system reports (on Linux always nt; on Windows
  // the running system's, so that a 95/98/Me report takes the library path).
  std::optional<Family> family;
  std::optional<Language> language;  // unset: the system's own
  double latencyScale = 1.0;
  std::vector<DemoFailure> failures;
  std::string commandLog;  // empty: none
  std::string dumpDir;     // empty: none
  std::string trace;       // empty: the trace variable's file, if any
  std::string replay;      // empty: virtual drives; else the drives answer from this trace
  bool autoFlash = false;
  bool help = false;
  bool version = false;
};

struct DemoParse {
  DemoOptions options;
  std::string error;  // one line naming the bad option; empty when accepted
};

// The arguments after the program name.
DemoParse ParseDemoOptions(const std::vector<std::string>& args);

// What the files named by the options need before anything starts, and
// what of them the run keeps.
struct DemoFiles {
  std::string error;  // one line naming the problem; empty when all is well
  // The trace to replay, read once (a pipe will do); null without --replay.
  std::shared_ptr<const std::string> replayText;
  // A command log that is a FIFO, held open from its check to the end.
  std::unique_ptr<platform::FifoHold> commandLogHold;
};

// The dump folder exists; the trace to replay is read and sound, and is not
// where the trace of this run goes (--trace, else the trace variable), which
// would empty it; the command log is neither of those traces, is a FIFO
// only with a reader (a FIFO nobody reads would hold start-up for good), is
// no symbolic link to a file (whose target the log would empty), and can be
// written (made when absent; an existing one keeps its lines until the
// drives start). A refusal leaves every file as it was.
DemoFiles PrepareDemoFiles(const DemoOptions& options);

std::string DemoUsage();

}  // namespace demo
