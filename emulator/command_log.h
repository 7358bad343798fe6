// A record of the commands drives received, in arrival order across every
// drive that shares the log: each command's CDB, data direction, transfer
// length and the SHA-256 of the data sent to the drive (none for commands
// that send no data). Whoever attaches a drive to the log knows its adapter
// number and gives it with each entry (logging_device.h).
// Threads: every member may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "emulator/scsi_device.h"
#include "emulator/sha256.h"
#include "platform/lock.h"

namespace emulator {

struct CommandLogEntry {
  uint32_t adapter = 0;
  std::vector<uint8_t> cdb;  // cdbLen bytes
  DataDirection direction = DataDirection::None;
  uint32_t length = 0;
  std::optional<Sha256Digest> sentDigest;  // only for data sent to the drive
};

// The entry for `command` as it arrives at a drive on `adapter`.
CommandLogEntry MakeLogEntry(uint32_t adapter, const ScsiCommand& command);

// "ha=<n> cdb=<hex> dir=<in|out|none> len=<n> sha256=<hex or ->", lower-case
// hex without spaces, no line end.
std::string FormatCommandLogLine(const CommandLogEntry& entry);

class CommandLog {
 public:
  using Listener = std::function<void(const CommandLogEntry&)>;

  // A log that only streams to its listener keeps no entries: it stays the
  // same size however many commands pass.
  explicit CommandLog(bool keepEntries = true) : keepEntries_(keepEntries) {}

  void Append(CommandLogEntry entry);
  std::vector<CommandLogEntry> Entries() const;
  std::size_t Size() const;
  void Clear();
  // Called for every entry as it is appended, under the log's lock, so
  // listeners see entries in log order; a listener must not use the log.
  void SetListener(Listener listener);

 private:
  mutable platform::Mutex lock_;
  const bool keepEntries_;
  std::vector<CommandLogEntry> entries_;
  Listener listener_;
};

}  // namespace emulator
