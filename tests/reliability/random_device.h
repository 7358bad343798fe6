// A stand-in device that answers every command but INQUIRY at random: GOOD,
// CHECK CONDITION with random sense data of random length, or BUSY; data in is
// a random number of random bytes, data out is read in full. It honours the
// buffer it is given, as the transport promises. INQUIRY gets a fixed answer
// with peripheral type RANDOM_DEVICE_TYPE.
// Threads: Execute from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

#include "emulator/scsi_device.h"

namespace reliability {

inline constexpr uint8_t RANDOM_DEVICE_TYPE = 0x0F;

class RandomDevice final : public emulator::ScsiDevice {
 public:
  explicit RandomDevice(uint32_t seed) : random_(seed) {}
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;
  // Bytes read from buffers sent to it, summed: keeps the reads from being optimised away.
  uint64_t OutSum() const;

 private:
  mutable std::mutex lock_;
  std::mt19937 random_;
  uint64_t outSum_ = 0;
};

}  // namespace reliability
