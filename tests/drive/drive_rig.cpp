#include "tests/drive/drive_rig.h"

#include "drive/commands.h"

namespace drive_tests {

namespace {

uint8_t uploadData[UPLOAD_BLOCK_BYTES];
uint8_t spareReply[READ_REPLY_BYTES];

}  // namespace

DriveRig::DriveRig() {
  aspi.Attach(RIG_DRIVE.haId, RIG_DRIVE.target, injector);
  fakes::TestAspi::InstallInto(channel().aspi);
}

DriveRig::~DriveRig() { injector.Interrupt(); }

std::string CommandName(Command command) {
  static const char* const NAMES[] = {"FlashModeOn",  "FlashModeOff",   "UploadBlock", "VerifyChecksum",
                                      "EraseSectors", "ProgramSectors", "EraseUnit",   "ReadDriveMemory"};
  return NAMES[static_cast<int>(command)];
}

emulator::CommandKind KindOf(Command command) {
  using emulator::CommandKind;
  static const CommandKind KINDS[] = {CommandKind::FlashOn,   CommandKind::FlashOff, CommandKind::Upload,
                                      CommandKind::Verify,    CommandKind::Erase,    CommandKind::Program,
                                      CommandKind::EraseUnit, CommandKind::Read};
  return KINDS[static_cast<int>(command)];
}

uint8_t Call(CommandChannel& channel, Command command, uint8_t* readInto) {
  static constexpr uint8_t CHECKSUM[2] = {0x12, 0x34};
  switch (command) {
    case Command::FlashOn:
      return FlashModeOn(channel, RIG_DRIVE, W274, 0);
    case Command::FlashOff:
      return FlashModeOff(channel, RIG_DRIVE, W274, 0);
    case Command::Upload:
      return UploadBlock(channel, RIG_DRIVE, 0x5000, 1, uploadData, 0);
    case Command::Verify:
      return VerifyChecksum(channel, RIG_DRIVE, CHECKSUM, 0);
    case Command::Erase:
      return EraseSectors(channel, RIG_DRIVE, 0x2000, 0);
    case Command::Program:
      return ProgramSectors(channel, RIG_DRIVE, 0x2000, 0);
    case Command::EraseUnit:
      return EraseUnit(channel, RIG_DRIVE, 1);
    case Command::Read:
      return ReadDriveMemory(channel, 0x4500, 32, RIG_DRIVE.haId, RIG_DRIVE.target,
                             readInto != nullptr ? readInto : spareReply);
  }
  return 0xFF;
}

bool BoxWhenNoEvent(Command command) {
  return command != Command::Erase && command != Command::Program && command != Command::EraseUnit;
}

}  // namespace drive_tests
