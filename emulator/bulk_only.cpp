#include "emulator/bulk_only.h"

#include <algorithm>
#include <cstring>

namespace emulator {

namespace {

constexpr uint32_t CBW_SIGNATURE = 0x43425355;  // "USBC"
constexpr uint32_t CSW_SIGNATURE = 0x53425355;  // "USBS"
constexpr uint8_t REQUEST_SENSE = 0x03;
// Fixed-format sense without a condition: no sense, ten further bytes.
constexpr std::array<uint8_t, 18> NO_SENSE = {0x70, 0, 0, 0, 0, 0, 0, 10};

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<CommandBlock> ParseCommandBlock(const uint8_t* bytes, std::size_t length) {
  if (length != CBW_LENGTH || Le32(bytes) != CBW_SIGNATURE) return std::nullopt;
  CommandBlock block;
  block.tag = Le32(bytes + 4);
  block.dataLength = Le32(bytes + 8);
  block.dataIn = (bytes[12] & 0x80) != 0;
  block.lun = bytes[13] & 0x0F;
  block.cdbLength = bytes[14] & 0x1F;
  if (block.cdbLength == 0 || block.cdbLength > block.cdb.size()) return std::nullopt;
  std::memcpy(block.cdb.data(), bytes + 15, block.cdbLength);
  return block;
}

std::array<uint8_t, CSW_LENGTH> FormatCommandStatus(uint32_t tag, uint32_t residue, uint8_t status) {
  std::array<uint8_t, CSW_LENGTH> csw{};
  PutLe32(csw.data(), CSW_SIGNATURE);
  PutLe32(csw.data() + 4, tag);
  PutLe32(csw.data() + 8, residue);
  csw[12] = status;
  return csw;
}

CommandAnswer BulkOnlyDrive::AnswerRequestSense(const CommandBlock& block, std::vector<uint8_t>& data) {
  const uint8_t* sense = lastSenseLen_ > 0 ? lastSense_.data() : NO_SENSE.data();
  const uint32_t senseLen = lastSenseLen_ > 0 ? lastSenseLen_ : static_cast<uint32_t>(NO_SENSE.size());
  const uint32_t moved = std::min(senseLen, std::min<uint32_t>(block.cdb[4], block.dataLength));
  data.assign(block.dataLength, 0);
  std::memcpy(data.data(), sense, moved);
  lastSenseLen_ = 0;
  return {CSW_PASSED, block.dataLength - moved};
}

CommandAnswer BulkOnlyDrive::Perform(const CommandBlock& block, std::vector<uint8_t>& data) {
  if (block.cdb[0] == REQUEST_SENSE && block.dataIn) return AnswerRequestSense(block, data);
  data.resize(block.dataLength);
  ScsiCommand command;
  command.cdb = block.cdb.data();
  command.cdbLen = block.cdbLength;
  command.direction =
      block.dataLength == 0 ? DataDirection::None : (block.dataIn ? DataDirection::In : DataDirection::Out);
  command.data = data.empty() ? nullptr : data.data();
  command.dataLen = block.dataLength;
  ScsiReply reply;
  lastSenseLen_ = 0;
  if (!device_.Execute(command, reply)) return {CSW_PHASE_ERROR, block.dataLength};
  const uint32_t moved = std::min(reply.transferred, block.dataLength);
  if (block.dataIn) std::fill(data.begin() + moved, data.end(), uint8_t{0});
  if (reply.status == SCSI_GOOD) return {CSW_PASSED, block.dataLength - moved};
  // CHECK CONDITION, and BUSY, which the transport cannot tell apart: the
  // host asks for the sense, and retries on what it finds there.
  lastSenseLen_ = std::min<uint8_t>(reply.senseLen, static_cast<uint8_t>(lastSense_.size()));
  std::memcpy(lastSense_.data(), reply.sense.data(), lastSenseLen_);
  return {CSW_FAILED, block.dataLength - moved};
}

}  // namespace emulator
