// A row of virtual RT-5800B drives as the demo and the loadable virtual ASPI
// library present them: each drive behind a fault injector (failures,
// latencies) and, when a log file is asked for, a command-log tap on one
// shared log,
//   tap -> fault injector -> virtual drive,
// whose lines go straight into the file (nothing is kept in memory, and
// without a file nothing is logged or hashed), and the flash of the first
// drive dumped on request.
// Threads: construction, Interrupt, Dump and destruction on the owner's
// thread; the taps are then used by whichever transport serves the drives.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/command_kind.h"
#include "emulator/command_log.h"
#include "emulator/fault_injector.h"
#include "emulator/logging_device.h"
#include "emulator/replay_drive.h"
#include "emulator/virtual_drive.h"

namespace emulator {

struct RowFailure {
  std::optional<CommandKind> kind;
  uint32_t nth = 1;
  uint8_t senseByte2 = 0;
  bool hang = false;  // instead of failing, the command never completes (FaultAction::NeverComplete)
};

struct RowLatency {
  CommandKind kind;
  uint32_t ms;
};

struct DriveRowOptions {
  uint32_t drives = 1;
  std::string revision;  // empty: the drive's default
  std::vector<RowFailure> failures;  // applied to every drive
  std::vector<RowLatency> latencies;
  double latencyScale = 1.0;
  std::string logPath;  // empty: no log file
  std::string dumpDir;  // empty: no dump
  // Not empty: each adapter's drive answers from this command trace
  // (emulator/replay_drive.h), behind the same injector and tap.
  std::string replayPath;
  // When set: that trace's text, read already (a pipe cannot be read
  // twice); replayPath then only names it.
  std::shared_ptr<const std::string> replayText;
  bool replayDelays = false;  // each replayed reply takes as long as it did in the trace
};

class DriveRow {
 public:
  // `error` receives a reason when the log file cannot be created or the
  // trace to replay cannot be read; the drives are made all the same (a
  // trace that cannot be read gives virtual drives).
  DriveRow(DriveRowOptions options, std::string& error);
  ~DriveRow();
  DriveRow(const DriveRow&) = delete;
  DriveRow& operator=(const DriveRow&) = delete;

  std::size_t Count() const { return drives_.size(); }
  // The drive as its transport reaches it: through its log tap if it has one. Adapter i logs as ha=i.
  ScsiDevice& Device(std::size_t i) {
    return drives_[i].tap ? static_cast<ScsiDevice&>(*drives_[i].tap) : *drives_[i].faults;
  }
  // Ends every injected wait, so that a transport's worker can stop.
  void Interrupt();
  // Ends every command held by a never-completing failure as a transport
  // failure; later commands are served (a reset that took the command back).
  void DropHeld();
  // Writes unit0.bin (0x80000 bytes of unit 0) and unit1.bin (0x20000 bytes
  // from 0x240000) of the first drive into the dump folder, if one was asked
  // for, both whole or neither (each through a temporary file in the folder,
  // pushed to the disk and renamed into place; an existing one that is not a
  // regular file is left alone and refused), and tells whether the row's
  // files were all written: empty when they were, else one line naming the
  // first problem (a replay that went astray comes first, then a command-log
  // line that could not be written, then a failed dump). Once per row,
  // after the drives' last command.
  std::string Conclude() const;

 private:
  struct Drive {
    std::unique_ptr<VirtualDrive> drive;
    std::unique_ptr<ReplayDevice> replay;  // only with a trace to replay
    std::unique_ptr<FaultInjector> faults;
    std::unique_ptr<LoggingDevice> tap;  // only with a log file
  };

  const DriveRowOptions options_;
  CommandLog log_{false};
  std::FILE* logFile_ = nullptr;
  // The errno of the first command-log line that could not be written; 0: none.
  std::atomic<int> logErrno_{0};
  std::unique_ptr<ReplayScript> replay_;
  std::vector<Drive> drives_;
};

}  // namespace emulator
