#include "emulator/command_kind.h"

#include <array>

namespace emulator {

namespace {

constexpr std::array<std::string_view, COMMAND_KIND_COUNT> NAMES = {
    "flash-on",   "flash-off", "upload", "verify",  "erase",
    "erase-unit", "program",   "read",   "inquiry", "other"};

CommandKind ClassifyVendorWrite(uint8_t mode) {
  switch (mode) {
    case MODE_UPLOAD:
      return CommandKind::Upload;
    case MODE_PROGRAM:
      return CommandKind::Program;
    case MODE_ERASE:
      return CommandKind::Erase;
    case MODE_ERASE_UNIT:
      return CommandKind::EraseUnit;
    default:
      return CommandKind::Other;
  }
}

CommandKind ClassifyVendorRead(uint8_t mode, uint8_t byte2) {
  switch (mode) {
    case MODE_READ:
      return CommandKind::Read;
    case MODE_FLASH:
      if (byte2 == 1) return CommandKind::FlashOn;
      return byte2 == 0 ? CommandKind::FlashOff : CommandKind::Other;
    case MODE_VERIFY:
      return CommandKind::Verify;
    default:
      return CommandKind::Other;
  }
}

}  // namespace

CommandKind ClassifyCommand(const uint8_t* cdb, uint8_t cdbLen) {
  if (cdb == nullptr || cdbLen == 0) return CommandKind::Other;
  if (cdb[0] == OP_INQUIRY) return CommandKind::Inquiry;
  if (cdb[0] != OP_VENDOR_WRITE && cdb[0] != OP_VENDOR_READ) return CommandKind::Other;
  if (cdbLen < 3) return CommandKind::Other;
  const uint8_t mode = cdb[1] & 0x0F;
  return cdb[0] == OP_VENDOR_WRITE ? ClassifyVendorWrite(mode) : ClassifyVendorRead(mode, cdb[2]);
}

std::string_view CommandKindName(CommandKind kind) { return NAMES[static_cast<std::size_t>(kind)]; }

std::optional<CommandKind> ParseCommandKind(std::string_view name) {
  for (std::size_t i = 0; i + 1 < NAMES.size(); ++i) {
    if (NAMES[i] == name) return static_cast<CommandKind>(i);
  }
  return std::nullopt;
}

}  // namespace emulator
