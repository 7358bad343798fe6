#include "emulator/sense_data.h"

namespace emulator {

SenseCode SenseCodeFor(Refusal refusal) {
  switch (refusal) {
    case Refusal::InvalidOpcode:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x20, 0x00};
    case Refusal::InvalidField:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x24, 0x00};
    case Refusal::WrongFlashCode:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x24, 0x80};
    case Refusal::MaskNamesNoSector:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x24, 0x81};
    case Refusal::AddressOutOfRange:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x21, 0x00};
    case Refusal::TransferMismatch:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x1A, 0x00};
    case Refusal::NotInFlashMode:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x2C, 0x00};
    case Refusal::OtherUnitInFlashMode:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x2C, 0x80};
    case Refusal::UploadIncomplete:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x2C, 0x81};
    case Refusal::NotVerified:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x2C, 0x82};
    case Refusal::UploadAfterErase:
      return {SENSE_KEY_ILLEGAL_REQUEST, 0x2C, 0x83};
    case Refusal::ChecksumMismatch:
      return {SENSE_KEY_MISCOMPARE, 0x1D, 0x80};
    case Refusal::CompareMismatch:
      return {SENSE_KEY_MISCOMPARE, 0x1D, 0x00};
    case Refusal::ControllerRestarted:
      return {SENSE_KEY_UNIT_ATTENTION, 0x29, 0x00};
  }
  return {SENSE_KEY_ILLEGAL_REQUEST, 0x44, 0x00};
}

std::string_view RefusalName(Refusal refusal) {
  switch (refusal) {
    case Refusal::InvalidOpcode:
      return "invalid opcode";
    case Refusal::InvalidField:
      return "invalid field in CDB";
    case Refusal::WrongFlashCode:
      return "wrong flash-mode code";
    case Refusal::MaskNamesNoSector:
      return "mask names no sector";
    case Refusal::AddressOutOfRange:
      return "address out of range";
    case Refusal::TransferMismatch:
      return "transfer does not fit the CDB";
    case Refusal::NotInFlashMode:
      return "unit not in flash mode";
    case Refusal::OtherUnitInFlashMode:
      return "other unit in flash mode";
    case Refusal::UploadIncomplete:
      return "upload incomplete";
    case Refusal::NotVerified:
      return "checksum not verified";
    case Refusal::UploadAfterErase:
      return "upload after erase or program";
    case Refusal::ChecksumMismatch:
      return "checksum mismatch";
    case Refusal::CompareMismatch:
      return "flash differs from upload";
    case Refusal::ControllerRestarted:
      return "controller restarted";
  }
  return "unknown";
}

void SetCheckCondition(ScsiReply& reply, uint8_t byte2, uint8_t asc, uint8_t ascq) {
  reply.status = SCSI_CHECK_CONDITION;
  reply.sense.fill(0);
  reply.sense[0] = SENSE_RESPONSE_CODE;
  reply.sense[2] = byte2;
  reply.sense[7] = SENSE_DATA_LEN - 8;  // additional sense length
  reply.sense[12] = asc;
  reply.sense[13] = ascq;
  reply.senseLen = SENSE_DATA_LEN;
  reply.transferred = 0;
}

void SetRefusal(ScsiReply& reply, Refusal refusal) {
  const SenseCode code = SenseCodeFor(refusal);
  SetCheckCondition(reply, code.key, code.asc, code.ascq);
}

}  // namespace emulator
