// Talks to a stand-in drive the way the flash program does, one CDB at a
// time, and builds firmware parts with a correct checksum, so that drive
// tests read as the sequences they check.
// Threads: test thread only.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "emulator/flash_controller.h"
#include "emulator/scsi_device.h"

namespace drive_script {

inline constexpr emulator::FlashCode W274 = {'W', '2', '7', '4'};
inline constexpr uint32_t PART1_ADDRESS = 0x5000;
inline constexpr uint32_t PART1_BYTES = 0x7B000;  // data and checksum
inline constexpr uint32_t PART2_ADDRESS = 0x240000;
inline constexpr uint32_t PART2_BYTES = 0x20000;

struct Answer {
  bool delivered = false;
  emulator::ScsiReply reply;
};

// Random bytes whose last two hold the big-endian 16-bit word sum of the rest.
std::vector<uint8_t> MakePart(uint32_t bytes, uint32_t seed);

class DriveScript {
 public:
  explicit DriveScript(emulator::ScsiDevice& device) : device_(device) {}

  Answer Send(std::initializer_list<uint8_t> cdb,
              emulator::DataDirection direction = emulator::DataDirection::None, uint8_t* data = nullptr,
              uint32_t length = 0);
  Answer FlashOn(uint8_t unit, const emulator::FlashCode& code = W274);
  Answer FlashOff(uint8_t unit, const emulator::FlashCode& code = W274);
  Answer Upload(uint8_t unit, uint32_t address, const uint8_t* data, uint8_t blocks);
  Answer Verify(uint8_t unit, uint8_t high, uint8_t low);
  Answer Erase(uint8_t unit, uint16_t mask);
  Answer EraseUnit(uint8_t unit, uint16_t mask = 0);
  Answer Program(uint8_t unit, uint16_t mask);
  Answer Read(uint32_t address, uint16_t length, uint8_t* out, uint32_t bufferLength = 2048);
  Answer Inquiry(uint8_t allocation, uint8_t* out, uint32_t bufferLength);

  // The flash program's block schedules; every answer must be GOOD.
  bool UploadPartOne(const std::vector<uint8_t>& part);
  bool UploadPartTwo(const std::vector<uint8_t>& part);
  // The verify command with the checksum stored at the part's end.
  Answer VerifyPart(uint8_t unit, const std::vector<uint8_t>& part);
  // The stage-one erase or program masks: 0x2000, 0x4000, 0x8000, 0x0001..0x0080.
  static std::vector<uint16_t> StageOneMasks();
  // The whole stage (flash mode on to off, erase skipped for `skipErase`);
  // the last answer is that of flash-mode-off, or of the first command that
  // was not GOOD.
  Answer StageOne(const std::vector<uint8_t>& part, uint16_t skipErase = 0);
  Answer StageTwo(const std::vector<uint8_t>& part);

 private:
  emulator::ScsiDevice& device_;
};

bool Good(const Answer& answer);
uint8_t SenseByte2(const Answer& answer);
uint8_t Asc(const Answer& answer);
uint8_t Ascq(const Answer& answer);

}  // namespace drive_script
