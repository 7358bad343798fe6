// A tap in front of a stand-in drive that records what reaches it (CDB, data
// direction, transfer length; no data digest, so that hundreds of runs stay
// cheap) and can act just before a chosen command is passed on.
// Threads: Execute from any thread (the simulator's worker); the rest from
// the test's thread. The hook runs on the thread that calls Execute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "emulator/command_kind.h"
#include "emulator/scsi_device.h"
#include "platform/lock.h"

namespace fakes {

struct TappedCommand {
  std::vector<uint8_t> cdb;
  emulator::DataDirection direction = emulator::DataDirection::None;
  uint32_t length = 0;

  emulator::CommandKind Kind() const {
    return emulator::ClassifyCommand(cdb.data(), static_cast<uint8_t>(cdb.size()));
  }
  bool operator==(const TappedCommand&) const = default;
};

class CommandTap final : public emulator::ScsiDevice {
 public:
  // Called with the command's position since the last Clear, before it is
  // passed on.
  using Hook = std::function<void(std::size_t position)>;

  explicit CommandTap(emulator::ScsiDevice& inner) : inner_(inner) {}

  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;

  void Clear();
  void SetHook(Hook hook);
  std::vector<TappedCommand> Commands() const;

 private:
  emulator::ScsiDevice& inner_;
  mutable platform::Mutex lock_;
  std::vector<TappedCommand> commands_;
  Hook hook_;
};

}  // namespace fakes
