// What the virtual ASPI library presents, read from the environment variable
// ZX_VIRTUAL_ASPI when the library is loaded. Only the demo and the tests
// load this library; the real program loads the system's.
//
// Format: entries "key=value" separated by ';', every key optional:
//   adapters=N   host adapters reported (0-255), default 1
//   status=S     status byte of the support-information word (0-255, decimal
//                or 0x hex), default 1 (SS_COMP)
//   drives=N     virtual drives, one at each of host adapters 0..N-1, default 1;
//                at most `adapters`
//   target=T     target id of every drive (0-7), default 0
//   revision=R   the drives' firmware revision, exactly 4 characters
//   latency=MS   delay before each execute request is carried out, default 0
//   fail=K:N:S   the N-th command of kind K (flash-on, flash-off, upload,
//                verify, erase, erase-unit, program, read, inquiry) that a
//                drive receives fails with CHECK CONDITION and sense byte 2 =
//                S (hex); may be given more than once; applies to every drive
//   log=FILE     one line per command any drive receives, in arrival order
//                (the command log format of emulator/command_log.h); the
//                file is created afresh at load
//   dump=DIR     at unload, DIR/unit0.bin (0x80000 bytes of unit 0) and
//                DIR/unit1.bin (0x20000 bytes from 0x240000) of the drive on
//                adapter 0
//   replay=FILE  the drives answer from the command trace FILE
//                (emulator/replay_drive.h) instead of being virtual drives
//   replay-delays=1  each replayed reply takes as long as it did in the trace
// Values cannot contain ';'.
// Example: "drives=1;revision=1.0A;status=1;adapters=1;latency=0".
// Threads: any (plain data and a pure function).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/command_kind.h"

namespace aspi_module {

inline constexpr const char* CONFIG_VARIABLE = "ZX_VIRTUAL_ASPI";

struct FailSpec {
  emulator::CommandKind kind = emulator::CommandKind::Other;
  uint32_t nth = 1;
  uint8_t senseByte2 = 0;
};

struct ModuleConfig {
  uint32_t adapters = 1;
  uint32_t status = 0x01;
  uint32_t drives = 1;
  uint32_t target = 0;
  std::string revision;  // empty: the virtual drive's own
  uint32_t latencyMs = 0;
  std::vector<FailSpec> failures;
  std::string logPath;  // empty: no log
  std::string dumpDir;  // empty: no dump
  std::string replayPath;  // empty: virtual drives
  uint32_t replayDelays = 0;
};

struct ConfigResult {
  ModuleConfig config;
  std::string error;  // empty when the text was accepted
};

ConfigResult ParseModuleConfig(std::string_view text);

}  // namespace aspi_module
