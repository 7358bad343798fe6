#include "drive/commands.h"

#include <cstring>

#include "transport/execute.h"

namespace {

constexpr uint8_t OPCODE_WRITE = 0xCB;  // upload and sector commands
constexpr uint8_t OPCODE_READ = 0xCC;   // flash mode, checksum, memory read
constexpr uint8_t MODE_FLASH = 1;
constexpr uint8_t MODE_UPLOAD = 1;
constexpr uint8_t MODE_PROGRAM = 2;
constexpr uint8_t MODE_ERASE = 4;
constexpr uint8_t MODE_VERIFY = 4;
constexpr uint8_t MODE_ERASE_UNIT = 8;
constexpr uint8_t VENDOR_CDB_LEN = 12;

constexpr char RESERVED[] = "Reserved";

// One block per command kind, and the read reply buffer, for the whole run:
// a back-end that completes after its caller stopped waiting still writes
// into live memory.
SRB_ExecSCSICmd flashModeBlock;
SRB_ExecSCSICmd uploadBlock;
SRB_ExecSCSICmd sectorBlock;
SRB_ExecSCSICmd checksumBlock;
SRB_ExecSCSICmd readBlock;
uint8_t readReply[READ_REPLY_BYTES];

enum class NoEventBox { Show, Silent };

uint8_t UnitMode(uint8_t unit, uint8_t mode) { return static_cast<uint8_t>(unit * 16 + mode); }

ExecRequest VendorRequest(DriveAddress drive, uint8_t opcode, uint8_t unitMode) {
  ExecRequest request;
  request.haId = drive.haId;
  request.target = drive.target;
  request.flags = SRB_EVENT_NOTIFY;
  request.cdbLen = VENDOR_CDB_LEN;
  request.cdb[0] = opcode;
  request.cdb[1] = unitMode;
  return request;
}

bool ShowsReservedBox(uint8_t senseKey) {
  switch (senseKey) {
    case 8:
    case 9:
    case 10:
    case 12:
    case 13:
    case 15:
      return true;
    default:
      return false;
  }
}

void HandleSense(CommandChannel& channel, const SRB_ExecSCSICmd& block) {
  const uint8_t byte2 = block.SenseArea[2];
  if (ShowsReservedBox(byte2 & 0x0F)) channel.dialogs.ShowMessage(RESERVED);
  channel.lastSenseKey.store(byte2);
}

uint8_t Run(CommandChannel& channel, SRB_ExecSCSICmd& block, const ExecRequest& request, uint32_t waitMs,
            NoEventBox box) {
  switch (ExecuteScsiCommand(channel.aspi, channel.events, block, request, waitMs)) {
    case ExecResult::Completed:
      return COMMAND_COMPLETED;
    case ExecResult::NotCompleted:
      HandleSense(channel, block);
      return COMMAND_NOT_COMPLETED;
    case ExecResult::NoEvent:
      break;
  }
  if (box == NoEventBox::Show) channel.dialogs.ShowMessage(CREATE_EVENT_FAILED_TEXT);
  return COMMAND_NO_EVENT;
}

uint8_t FlashMode(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 4> code, uint8_t unit,
                  bool on) {
  ExecRequest request = VendorRequest(drive, OPCODE_READ, UnitMode(unit, MODE_FLASH));
  request.cdb[2] = on ? 1 : 0;
  std::memcpy(&request.cdb[4], code.data(), code.size());
  return Run(channel, flashModeBlock, request, channel.waits.normalMs, NoEventBox::Show);
}

uint8_t SectorCommand(CommandChannel& channel, DriveAddress drive, uint8_t mode, uint32_t mask, uint8_t unit) {
  ExecRequest request = VendorRequest(drive, OPCODE_WRITE, UnitMode(unit, mode));
  request.cdb[7] = static_cast<uint8_t>(mask >> 8);
  request.cdb[8] = static_cast<uint8_t>(mask);
  return Run(channel, sectorBlock, request, channel.waits.sectorMs, NoEventBox::Silent);
}

}  // namespace

uint8_t FlashModeOn(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 4> code, uint8_t unit) {
  return FlashMode(channel, drive, code, unit, true);
}

uint8_t FlashModeOff(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 4> code, uint8_t unit) {
  return FlashMode(channel, drive, code, unit, false);
}

uint8_t UploadBlock(CommandChannel& channel, DriveAddress drive, uint32_t address, uint8_t blockCount,
                    const uint8_t* data, uint8_t unit) {
  ExecRequest request = VendorRequest(drive, OPCODE_WRITE, UnitMode(unit, MODE_UPLOAD));
  request.flags = SRB_EVENT_NOTIFY | SRB_DIR_OUT;
  request.bufLen = uint32_t{blockCount} * UPLOAD_BLOCK_BYTES;
  // The back-end only reads from an outgoing buffer.
  request.buffer = const_cast<uint8_t*>(data);
  request.cdb[3] = static_cast<uint8_t>(address >> 16);
  request.cdb[4] = static_cast<uint8_t>(address >> 8);
  request.cdb[5] = static_cast<uint8_t>(address);
  request.cdb[8] = blockCount;
  return Run(channel, uploadBlock, request, channel.waits.normalMs, NoEventBox::Show);
}

uint8_t VerifyChecksum(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 2> checksum,
                       uint8_t unit) {
  ExecRequest request = VendorRequest(drive, OPCODE_READ, UnitMode(unit, MODE_VERIFY));
  request.cdb[2] = checksum[0];
  request.cdb[3] = checksum[1];
  return Run(channel, checksumBlock, request, channel.waits.normalMs, NoEventBox::Show);
}

uint8_t EraseSectors(CommandChannel& channel, DriveAddress drive, uint32_t mask, uint8_t unit) {
  return SectorCommand(channel, drive, MODE_ERASE, mask, unit);
}

uint8_t ProgramSectors(CommandChannel& channel, DriveAddress drive, uint32_t mask, uint8_t unit) {
  return SectorCommand(channel, drive, MODE_PROGRAM, mask, unit);
}

uint8_t EraseUnit(CommandChannel& channel, DriveAddress drive, uint8_t unit) {
  return SectorCommand(channel, drive, MODE_ERASE_UNIT, 0, unit);
}

uint8_t ReadDriveMemory(CommandChannel& channel, uint32_t address, uint32_t length, uint8_t haId, uint8_t target,
                        uint8_t* destination) {
  // A longer reply would not fit the reply buffer the request declares.
  if (length > READ_REPLY_BYTES) return COMMAND_NOT_COMPLETED;
  std::memset(readReply, 0, sizeof readReply);
  ExecRequest request = VendorRequest({haId, target}, OPCODE_READ, UnitMode(0, 0));
  request.flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
  request.bufLen = READ_REPLY_BYTES;
  request.buffer = readReply;
  request.cdb[2] = static_cast<uint8_t>(address >> 24);
  request.cdb[3] = static_cast<uint8_t>(address >> 16);
  request.cdb[4] = static_cast<uint8_t>(address >> 8);
  request.cdb[5] = static_cast<uint8_t>(address);
  request.cdb[7] = static_cast<uint8_t>(length >> 8);
  request.cdb[8] = static_cast<uint8_t>(length);
  const uint8_t result = Run(channel, readBlock, request, channel.waits.normalMs, NoEventBox::Show);
  if (result == COMMAND_COMPLETED) std::memcpy(destination, readReply, length);
  return result;
}
