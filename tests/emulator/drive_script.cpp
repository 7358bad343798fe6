#include "tests/emulator/drive_script.h"

#include <random>

namespace drive_script {

using emulator::DataDirection;

std::vector<uint8_t> MakePart(uint32_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> part(bytes);
  uint32_t sum = 0;
  for (uint32_t i = 0; i + 2 < bytes; ++i) {
    part[i] = static_cast<uint8_t>(random());
    sum += (i % 2 == 0) ? uint32_t{part[i]} << 8 : part[i];
  }
  part[bytes - 2] = static_cast<uint8_t>(sum >> 8);
  part[bytes - 1] = static_cast<uint8_t>(sum);
  return part;
}

Answer DriveScript::Send(std::initializer_list<uint8_t> cdb, DataDirection direction, uint8_t* data,
                         uint32_t length) {
  std::vector<uint8_t> bytes(cdb);
  emulator::ScsiCommand command{bytes.data(), static_cast<uint8_t>(bytes.size()), direction, data, length};
  Answer answer;
  answer.delivered = device_.Execute(command, answer.reply);
  return answer;
}

Answer DriveScript::FlashOn(uint8_t unit, const emulator::FlashCode& code) {
  return Send({0xCC, uint8_t(unit * 16 + 1), 1, 0, code[0], code[1], code[2], code[3], 0, 0, 0, 0});
}

Answer DriveScript::FlashOff(uint8_t unit, const emulator::FlashCode& code) {
  return Send({0xCC, uint8_t(unit * 16 + 1), 0, 0, code[0], code[1], code[2], code[3], 0, 0, 0, 0});
}

Answer DriveScript::Upload(uint8_t unit, uint32_t address, const uint8_t* data, uint8_t blocks) {
  return Send({0xCB, uint8_t(unit * 16 + 1), 0, uint8_t(address >> 16), uint8_t(address >> 8),
               uint8_t(address), 0, 0, blocks, 0, 0, 0},
              DataDirection::Out, const_cast<uint8_t*>(data), blocks * 4096u);
}

Answer DriveScript::Verify(uint8_t unit, uint8_t high, uint8_t low) {
  return Send({0xCC, uint8_t(unit * 16 + 4), high, low, 0, 0, 0, 0, 0, 0, 0, 0});
}

Answer DriveScript::Erase(uint8_t unit, uint16_t mask) {
  return Send({0xCB, uint8_t(unit * 16 + 4), 0, 0, 0, 0, 0, uint8_t(mask >> 8), uint8_t(mask), 0, 0, 0});
}

Answer DriveScript::EraseUnit(uint8_t unit, uint16_t mask) {
  return Send({0xCB, uint8_t(unit * 16 + 8), 0, 0, 0, 0, 0, uint8_t(mask >> 8), uint8_t(mask), 0, 0, 0});
}

Answer DriveScript::Program(uint8_t unit, uint16_t mask) {
  return Send({0xCB, uint8_t(unit * 16 + 2), 0, 0, 0, 0, 0, uint8_t(mask >> 8), uint8_t(mask), 0, 0, 0});
}

Answer DriveScript::Read(uint32_t address, uint16_t length, uint8_t* out, uint32_t bufferLength) {
  return Send({0xCC, 0, uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8),
               uint8_t(address), 0, uint8_t(length >> 8), uint8_t(length), 0, 0, 0},
              DataDirection::In, out, bufferLength);
}

Answer DriveScript::Inquiry(uint8_t allocation, uint8_t* out, uint32_t bufferLength) {
  return Send({0x12, 0, 0, 0, allocation, 0}, DataDirection::In, out, bufferLength);
}

bool DriveScript::UploadPartOne(const std::vector<uint8_t>& part) {
  uint32_t address = PART1_ADDRESS;
  for (int index = 1; index <= 18; ++index) {
    const uint8_t blocks = index <= 3 ? 1 : 8;
    if (!Good(Upload(0, address, part.data() + (address - PART1_ADDRESS), blocks))) return false;
    address += blocks * 4096u;
  }
  return address == PART1_ADDRESS + PART1_BYTES;
}

bool DriveScript::UploadPartTwo(const std::vector<uint8_t>& part) {
  static constexpr uint8_t BLOCKS[] = {2, 1, 1, 4, 8, 8, 8};
  uint32_t address = PART2_ADDRESS;
  for (uint8_t blocks : BLOCKS) {
    if (!Good(Upload(1, address, part.data() + (address - PART2_ADDRESS), blocks))) return false;
    address += blocks * 4096u;
  }
  return address == PART2_ADDRESS + PART2_BYTES;
}

Answer DriveScript::VerifyPart(uint8_t unit, const std::vector<uint8_t>& part) {
  return Verify(unit, part[part.size() - 2], part[part.size() - 1]);
}

std::vector<uint16_t> DriveScript::StageOneMasks() {
  return {0x2000, 0x4000, 0x8000, 0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040, 0x0080};
}

Answer DriveScript::StageOne(const std::vector<uint8_t>& part, uint16_t skipErase) {
  Answer answer = FlashOn(0);
  if (!Good(answer)) return answer;
  if (!UploadPartOne(part)) return Answer{};
  if (answer = VerifyPart(0, part); !Good(answer)) return answer;
  for (uint16_t mask : StageOneMasks()) {
    if (mask == skipErase) continue;
    if (answer = Erase(0, mask); !Good(answer)) return answer;
  }
  for (uint16_t mask : StageOneMasks()) {
    if (answer = Program(0, mask); !Good(answer)) return answer;
  }
  return FlashOff(0);
}

Answer DriveScript::StageTwo(const std::vector<uint8_t>& part) {
  Answer answer = FlashOn(1);
  if (!Good(answer)) return answer;
  if (!UploadPartTwo(part)) return Answer{};
  if (answer = VerifyPart(1, part); !Good(answer)) return answer;
  if (answer = EraseUnit(1); !Good(answer)) return answer;
  for (uint16_t mask = 0x100; mask <= 0x4000; mask <<= 1) {
    if (answer = Program(1, mask); !Good(answer)) return answer;
  }
  return FlashOff(1);
}

bool Good(const Answer& answer) { return answer.delivered && answer.reply.status == emulator::SCSI_GOOD; }
uint8_t SenseByte2(const Answer& answer) { return answer.reply.sense[2]; }
uint8_t Asc(const Answer& answer) { return answer.reply.sense[12]; }
uint8_t Ascq(const Answer& answer) { return answer.reply.sense[13]; }

}  // namespace drive_script
