#include "emulator/virtual_drive.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "emulator/inquiry_data.h"
#include "emulator/xorshift_fill.h"

namespace emulator {

namespace {

// One xorshift32 stream runs through both units, unit 1 going on where
// unit 0 ends; each chunk is made from the state the stream has where the
// chunk begins.
FlashMemory::CellMaker OldFirmware(uint32_t seed) {
  constexpr uint32_t CHUNK = FlashMemory::MAKING_CHUNK;
  static_assert(UNIT_RANGES[0].size % CHUNK == 0,
                "unit 1's chunks begin where the stream has whole chunks behind");
  const uint32_t chunks = (UNIT_RANGES[0].size + UNIT_RANGES[1].size + CHUNK - 1) / CHUNK;
  auto starts =
      std::make_shared<const std::vector<uint32_t>>(XorShiftCheckpoints(seed == 0 ? 1 : seed, CHUNK, chunks));
  return [starts](uint32_t address, uint8_t* out, uint32_t length) {
    const uint32_t streamOffset = address >= UNIT_RANGES[1].base
                                      ? UNIT_RANGES[0].size + (address - UNIT_RANGES[1].base)
                                      : address - UNIT_RANGES[0].base;
    FillXorShiftBytes((*starts)[streamOffset / CHUNK], out, length);
  };
}

}  // namespace

VirtualDrive::VirtualDrive(VirtualDriveOptions options)
    : options_(std::move(options)),
      memory_(OldFirmware(options_.oldFirmwareSeed)),
      flash_(memory_, options_.flashCode) {
  memory_.Write(FAMILY_TAG_ADDRESS, options_.familyTag.data(),
                static_cast<uint32_t>(options_.familyTag.size()));
}

bool VirtualDrive::Execute(const ScsiCommand& command, ScsiReply& reply) {
  platform::LockGuard guard(lock_);
  reply = ScsiReply{};
  if (unitAttentionPending_) {
    unitAttentionPending_ = false;
    SetRefusal(reply, Refusal::ControllerRestarted);
    return true;
  }
  const Decoded decoded = DecodeCommand(command);
  if (const Refusal* refusal = std::get_if<Refusal>(&decoded)) {
    SetRefusal(reply, *refusal);
    return true;
  }
  Perform(std::get<DecodedCommand>(decoded), command, reply);
  return true;
}

void VirtualDrive::Perform(const DecodedCommand& decoded, const ScsiCommand& command, ScsiReply& reply) {
  Outcome outcome;
  if (decoded.kind == CommandKind::Inquiry) {
    AnswerInquiry(decoded, command, reply);
  } else if (decoded.kind == CommandKind::Read) {
    outcome = ReadMemory(decoded, command, reply);
  } else {
    outcome = PerformFlash(decoded, command);
    if (!outcome && decoded.kind == CommandKind::Upload) reply.transferred = decoded.length;
  }
  if (outcome) SetRefusal(reply, *outcome);
}

Outcome VirtualDrive::PerformFlash(const DecodedCommand& d, const ScsiCommand& command) {
  switch (d.kind) {
    case CommandKind::FlashOn:
      return flash_.FlashOn(d.unit, d.code);
    case CommandKind::FlashOff: {
      const Outcome outcome = flash_.FlashOff(d.unit, d.code);
      if (!outcome && d.unit == 0) {
        ++restarts_;
        unitAttentionPending_ = options_.unitAttentionAfterRestart;
      }
      return outcome;
    }
    case CommandKind::Upload:
      return flash_.Upload(d.unit, d.address, command.data, d.length);
    case CommandKind::Verify:
      return flash_.Verify(d.unit, d.checksum[0], d.checksum[1]);
    case CommandKind::Erase:
      return flash_.Erase(d.unit, d.mask);
    case CommandKind::EraseUnit:
      return flash_.EraseUnit(d.unit, d.mask);
    case CommandKind::Program:
      return flash_.Program(d.unit, d.mask);
    default:
      return Refusal::InvalidOpcode;
  }
}

Outcome VirtualDrive::ReadMemory(const DecodedCommand& d, const ScsiCommand& command,
                                 ScsiReply& reply) const {
  if (!UnitHolding(d.address, d.length)) return Refusal::AddressOutOfRange;
  if (d.length > 0) memory_.Read(d.address, d.length, command.data);
  reply.transferred = d.length;
  return std::nullopt;
}

void VirtualDrive::AnswerInquiry(const DecodedCommand& d, const ScsiCommand& command,
                                 ScsiReply& reply) const {
  const auto data = BuildInquiryData({.revision = options_.revision});
  const uint32_t count = std::min({static_cast<uint32_t>(data.size()), d.length, command.dataLen});
  if (count > 0 && command.data != nullptr) std::memcpy(command.data, data.data(), count);
  reply.transferred = command.data != nullptr ? count : 0;
}

std::vector<uint8_t> VirtualDrive::ReadFlash(uint32_t address, uint32_t length) const {
  platform::LockGuard guard(lock_);
  std::vector<uint8_t> bytes(length);
  memory_.Read(address, length, bytes.data());
  return bytes;
}

void VirtualDrive::WriteFlash(uint32_t address, const std::vector<uint8_t>& data) {
  platform::LockGuard guard(lock_);
  memory_.Write(address, data.data(), static_cast<uint32_t>(data.size()));
}

bool VirtualDrive::InFlashMode(uint8_t unit) const {
  platform::LockGuard guard(lock_);
  return unit < UNIT_COUNT && flash_.InFlashMode(unit);
}

void VirtualDrive::SetUnitAttentionAfterRestart(bool enabled) {
  platform::LockGuard guard(lock_);
  options_.unitAttentionAfterRestart = enabled;
  if (!enabled) unitAttentionPending_ = false;
}

void VirtualDrive::SetLosesUploadedData(bool loses) {
  platform::LockGuard guard(lock_);
  flash_.SetLosesUploadedData(loses);
}

uint32_t VirtualDrive::Restarts() const {
  platform::LockGuard guard(lock_);
  return restarts_;
}

}  // namespace emulator
