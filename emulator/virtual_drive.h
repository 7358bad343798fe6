// A software RT-5800B: answers INQUIRY with the drive's identity, reads drive
// memory (0xCC mode 0), and carries out the flash commands as a strict flash
// device (flash_controller.h), so that a wrong sequence from the program is
// refused with CHECK CONDITION and sense data naming the cause
// (sense_data.h) instead of being waved through.
//
// The boot area of unit 0 holds the family tag at 0x4500; the other flash
// cells start with "old firmware", a pseudo-random pattern that is not all
// 0xFF, so a program without an erase shows up as a corrupt result.
// After unit 0's flash mode has been switched off the controller restarts and
// the next command reports UNIT ATTENTION once (switchable).
// Threads: every member may be called from any thread; one mutex serialises
// the drive.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/command_decoder.h"
#include "emulator/flash_controller.h"
#include "emulator/flash_memory.h"
#include "emulator/scsi_device.h"
#include "platform/lock.h"

namespace emulator {

inline constexpr uint32_t FAMILY_TAG_ADDRESS = 0x4500;

struct VirtualDriveOptions {
  std::string revision = "1.0A";  // INQUIRY bytes 32-35
  std::array<uint8_t, 4> familyTag = {'R', '5', '8', '0'};
  FlashCode flashCode = {'W', '2', '7', '4'};
  bool unitAttentionAfterRestart = true;
  uint32_t oldFirmwareSeed = 0x52353830;
};

class VirtualDrive final : public ScsiDevice {
 public:
  explicit VirtualDrive(VirtualDriveOptions options = {});

  bool Execute(const ScsiCommand& command, ScsiReply& reply) override;

  // The flash cells as they are now; the range must lie inside one unit
  // (std::out_of_range otherwise).
  std::vector<uint8_t> ReadFlash(uint32_t address, uint32_t length) const;
  // Stores bytes into the cells as at manufacture, bypassing flash rules.
  void WriteFlash(uint32_t address, const std::vector<uint8_t>& data);
  bool InFlashMode(uint8_t unit) const;
  void SetUnitAttentionAfterRestart(bool enabled);
  // A defective drive: uploads are acknowledged and checksummed but never
  // reach the programming buffer.
  void SetLosesUploadedData(bool loses);
  // Controller restarts so far (one per successful flash-mode-off of unit 0).
  uint32_t Restarts() const;

 private:
  void Perform(const DecodedCommand& decoded, const ScsiCommand& command, ScsiReply& reply);
  Outcome PerformFlash(const DecodedCommand& decoded, const ScsiCommand& command);
  Outcome ReadMemory(const DecodedCommand& decoded, const ScsiCommand& command, ScsiReply& reply) const;
  void AnswerInquiry(const DecodedCommand& decoded, const ScsiCommand& command, ScsiReply& reply) const;

  mutable platform::Mutex lock_;
  VirtualDriveOptions options_;
  FlashMemory memory_;
  FlashController flash_;
  bool unitAttentionPending_ = false;
  uint32_t restarts_ = 0;
};

}  // namespace emulator
