// A tap in front of any device that records each command in a CommandLog as
// it arrives, then passes it on unchanged.
// Threads: as the device behind it; the log is shared safely.
#pragma once

#include <cstdint>

#include "emulator/command_log.h"
#include "emulator/scsi_device.h"

namespace emulator {

class LoggingDevice final : public ScsiDevice {
 public:
  // `inner` and `log` must outlive the tap.
  LoggingDevice(ScsiDevice& inner, CommandLog& log, uint32_t adapter);
  bool Execute(const ScsiCommand& command, ScsiReply& reply) override;

 private:
  ScsiDevice& inner_;
  CommandLog& log_;
  const uint32_t adapter_;
};

}  // namespace emulator
