#include "emulator/command_decoder.h"

#include <initializer_list>

namespace emulator {

namespace {

bool AllZero(const uint8_t* cdb, std::initializer_list<int> bytes) {
  for (int i : bytes) {
    if (cdb[i] != 0) return false;
  }
  return true;
}

uint32_t BigEndian(const uint8_t* p, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | p[i];
  return value;
}

bool ReservedBytesZero(CommandKind kind, const uint8_t* cdb) {
  switch (kind) {
    case CommandKind::FlashOn:
    case CommandKind::FlashOff:
      return AllZero(cdb, {3, 8, 9, 10, 11});
    case CommandKind::Upload:
      return AllZero(cdb, {2, 6, 7, 9, 10, 11});
    case CommandKind::Erase:
    case CommandKind::EraseUnit:
    case CommandKind::Program:
      return AllZero(cdb, {2, 3, 4, 5, 6, 9, 10, 11});
    case CommandKind::Verify:
      return AllZero(cdb, {4, 5, 6, 7, 8, 9, 10, 11});
    case CommandKind::Read:
      return AllZero(cdb, {1, 6, 9, 10, 11});
    default:
      return false;
  }
}

Decoded DecodeInquiry(const ScsiCommand& command) {
  const uint8_t* cdb = command.cdb;
  if (command.cdbLen != INQUIRY_CDB_LEN || !AllZero(cdb, {1, 2, 5})) return Refusal::InvalidField;
  DecodedCommand decoded{.kind = CommandKind::Inquiry};
  decoded.length = BigEndian(cdb + 3, 2);
  if (command.dataLen > 0 && command.direction != DataDirection::In) return Refusal::TransferMismatch;
  return decoded;
}

// The data phase each vendor command needs.
Decoded CheckTransfer(const ScsiCommand& command, DecodedCommand decoded) {
  if (decoded.kind == CommandKind::Upload) {
    if (decoded.length == 0) return Refusal::InvalidField;
    if (command.direction != DataDirection::Out || command.dataLen != decoded.length ||
        command.data == nullptr)
      return Refusal::TransferMismatch;
  } else if (decoded.kind == CommandKind::Read) {
    if (decoded.length > MAX_READ_LENGTH) return Refusal::InvalidField;
    if (command.direction != DataDirection::In || command.dataLen < decoded.length ||
        (decoded.length > 0 && command.data == nullptr))
      return Refusal::TransferMismatch;
  } else if (command.dataLen != 0) {
    return Refusal::TransferMismatch;
  }
  return decoded;
}

Decoded DecodeVendor(const ScsiCommand& command) {
  const uint8_t* cdb = command.cdb;
  if (command.cdbLen != VENDOR_CDB_LEN) return Refusal::InvalidField;
  DecodedCommand decoded{.kind = ClassifyCommand(cdb, command.cdbLen)};
  decoded.unit = cdb[1] >> 4;
  if (decoded.kind == CommandKind::Other || decoded.unit >= UNIT_COUNT ||
      !ReservedBytesZero(decoded.kind, cdb))
    return Refusal::InvalidField;
  switch (decoded.kind) {
    case CommandKind::FlashOn:
    case CommandKind::FlashOff:
      decoded.code = {cdb[4], cdb[5], cdb[6], cdb[7]};
      break;
    case CommandKind::Upload:
      decoded.address = BigEndian(cdb + 3, 3);
      decoded.length = uint32_t{cdb[8]} * UPLOAD_BLOCK_SIZE;
      break;
    case CommandKind::Verify:
      decoded.checksum[0] = cdb[2];
      decoded.checksum[1] = cdb[3];
      break;
    case CommandKind::Read:
      decoded.address = BigEndian(cdb + 2, 4);
      decoded.length = BigEndian(cdb + 7, 2);
      break;
    default:  // sector commands
      decoded.mask = static_cast<uint16_t>(BigEndian(cdb + 7, 2));
      break;
  }
  return CheckTransfer(command, decoded);
}

}  // namespace

Decoded DecodeCommand(const ScsiCommand& command) {
  if (command.cdb == nullptr || command.cdbLen == 0) return Refusal::InvalidOpcode;
  switch (command.cdb[0]) {
    case OP_INQUIRY:
      return DecodeInquiry(command);
    case OP_VENDOR_WRITE:
    case OP_VENDOR_READ:
      return DecodeVendor(command);
    default:
      return Refusal::InvalidOpcode;
  }
}

}  // namespace emulator
