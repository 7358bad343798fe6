// A stand-in drive whose answers are hostile: INQUIRY data and the family
// reply (memory read) of any length, any bytes (zeros, control characters,
// bytes above 0x7F), with GOOD, CHECK CONDITION or BUSY. Every answer is fixed
// when the device is made, so repeated questions get the same answer, and
// never runs past the caller's buffer (the transport's promise). Every other
// command is refused with ILLEGAL REQUEST.
// Threads: Execute from any thread; the answers are read-only once made.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "emulator/scsi_device.h"

namespace reliability {

struct HostileAnswer {
  uint8_t status = emulator::SCSI_GOOD;
  uint8_t senseByte2 = 0;      // with CHECK CONDITION
  std::vector<uint8_t> bytes;  // with GOOD: what is transferred (up to the buffer's length)
};

struct HostileAnswers {
  HostileAnswer inquiry;
  HostileAnswer family;
  // Whether the answers were drawn to match (what the test expects them to do
  // is worked out from the bytes, not from these).
  bool identityPlanted = false;
  bool tagPlanted = false;
};

// Seeded draw: about half the drives carry the served identity (all but
// INQUIRY byte 35 as the drive model reports it), about half of the family
// replies begin with the family tag; the rest is random.
HostileAnswers DrawHostileAnswers(std::mt19937& random);

class HostileDevice final : public emulator::ScsiDevice {
 public:
  explicit HostileDevice(HostileAnswers answers) : answers_(std::move(answers)) {}
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;
  const HostileAnswers& Answers() const { return answers_; }

 private:
  const HostileAnswers answers_;
};

// The served drive's INQUIRY data, as the virtual drive reports it.
std::vector<uint8_t> ServedIdentity();

}  // namespace reliability
