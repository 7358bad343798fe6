// Replay of a command trace: drives that answer each command with the reply
// a real drive gave in the trace (status, sense, data, and, when asked, the
// time it took), so that one run on a machine here reproduces a run on the
// reporter's machine.
//
// The commands must arrive as recorded. The first one that differs (another
// adapter, CDB, direction, length or data sent), or one beyond the end of
// the trace, ends the replay loudly: one line on stderr naming the command
// (its number among the trace's commands and its line), what was expected
// and what came; that command and every later one then fails in transport,
// as if the drive had gone. Commands the back-end answered itself (no
// device at that address) are not expected at a drive and are passed over.
// An INQUIRY where the trace expects another command is a device layer
// asking for the identity on its own (the pass-through family does so when
// it opens a drive letter, below the transport the trace records): it gets
// the identity the adapter's drive gave in the trace and is not counted.
// Threads: Answer and the drives may be called from any thread; the script
// serialises them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/scsi_device.h"
#include "emulator/trace_reader.h"
#include "platform/lock.h"

namespace emulator {

class ReplayScript {
 public:
  // The script of the trace at `path`, or nullptr with one line in `error`.
  static std::unique_ptr<ReplayScript> Load(const std::string& path, std::string& error);
  // The same from a trace's text, read already; `name` names it in `error`.
  static std::unique_ptr<ReplayScript> Parse(const std::string& text, const std::string& name,
                                             std::string& error);

  // The reply recorded for the next command; false when the command does not
  // match (see above) or its recorded reply never came from a drive.
  bool Answer(uint32_t adapter, const ScsiCommand& command, ScsiReply& reply);
  // Each reply waits as long as the recorded command took.
  void UseRecordedDelays(bool use) { recordedDelays_ = use; }

  // Empty while the replay matches; else the line it ended with.
  std::string Failure() const;
  // Commands recorded as reaching a drive that have not come yet.
  std::size_t Remaining() const;
  // Every record of the trace, the header first.
  const std::vector<TraceRecord>& Records() const { return records_; }

 private:
  struct Expected {
    const TraceRecord* record;
    std::size_t number;  // among the trace's commands, from 1
  };
  explicit ReplayScript(std::vector<TraceRecord> records);
  std::string Mismatch(const TraceRecord& expected, uint32_t adapter, const ScsiCommand& command) const;
  // `next`: the command expected next; nullptr past the trace's end.
  bool AnswerIdentity(uint32_t adapter, const ScsiCommand& command, const TraceRecord* next,
                      ScsiReply& reply) const;
  void Fail(std::string line);

  const std::vector<TraceRecord> records_;
  std::vector<Expected> expected_;
  mutable platform::Mutex lock_;
  std::size_t next_ = 0;
  std::size_t commandsSeen_ = 0;
  std::string failure_;
  bool recordedDelays_ = false;
};

// The drive on one adapter, answering from a shared script.
class ReplayDevice final : public ScsiDevice {
 public:
  // `script` must outlive the device.
  ReplayDevice(ReplayScript& script, uint32_t adapter) : script_(script), adapter_(adapter) {}
  bool Execute(const ScsiCommand& command, ScsiReply& reply) override {
    return script_.Answer(adapter_, command, reply);
  }

 private:
  ReplayScript& script_;
  const uint32_t adapter_;
};

}  // namespace emulator
