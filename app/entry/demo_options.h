// The demo's command line. The product takes no options; the demo stands
// the program in front of virtual drives and says how they behave.
// Threads: any (pure functions).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/command_kind.h"

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

// What the files named by the options need before anything starts: the
// dump folder exists, and then the command log can be written (made when
// absent; an existing one keeps its lines until the drives start). One
// line naming the problem, or empty; a refusal leaves every file as it was.
std::string PrepareDemoFiles(const DemoOptions& options);

std::string DemoUsage();

}  // namespace demo
