#include "transport/spti_block.h"

#include <algorithm>
#include <cstring>

using platform::SptdBlock;

namespace {

SptdBlock EmptyBlock() {
  SptdBlock block{};
  // The record's own size on this build: 44 on 32-bit builds.
  block.sptd.Length = sizeof(platform::SCSI_PASS_THROUGH_DIRECT);
  block.sptd.PathId = 0;
  block.sptd.TargetId = SPTI_TARGET_ID;
  block.sptd.Lun = 0;
  block.sptd.SenseInfoOffset = platform::SPTD_SENSE_OFFSET;
  return block;
}

}  // namespace

SptdBlock BuildInquiryBlock(uint8_t* data) {
  SptdBlock block = EmptyBlock();
  block.sptd.CdbLength = 6;
  block.sptd.SenseInfoLength = SPTI_MAX_SENSE;
  block.sptd.DataIn = platform::SCSI_IOCTL_DATA_IN;
  block.sptd.DataTransferLength = SPTI_INQUIRY_LENGTH;
  block.sptd.TimeOutValue = SPTI_INQUIRY_TIMEOUT_S;
  block.sptd.DataBuffer = data;
  block.sptd.Cdb[0] = 0x12;
  block.sptd.Cdb[4] = SPTI_INQUIRY_LENGTH;
  return block;
}

SptdBlock BuildExecuteBlock(const SRB_ExecSCSICmd& srb, uint32_t timeoutSeconds) {
  SptdBlock block = EmptyBlock();
  block.sptd.CdbLength = srb.SRB_CDBLen;
  block.sptd.SenseInfoLength = std::min(srb.SRB_SenseLen, SPTI_MAX_SENSE);
  // Out wins when both directions are set, and a request without a
  // direction goes out as well: only an explicit "in" alone reads.
  const bool in = (srb.SRB_Flags & SRB_DIR_IN) != 0 && (srb.SRB_Flags & SRB_DIR_OUT) == 0;
  block.sptd.DataIn = in ? platform::SCSI_IOCTL_DATA_IN : platform::SCSI_IOCTL_DATA_OUT;
  block.sptd.DataTransferLength = srb.SRB_BufLen;
  block.sptd.TimeOutValue = timeoutSeconds;
  block.sptd.DataBuffer = srb.SRB_BufPointer;
  std::memcpy(block.sptd.Cdb, srb.CDBByte, std::min<std::size_t>(srb.SRB_CDBLen, sizeof block.sptd.Cdb));
  return block;
}
