// The pass-through blocks the simulator hands to IOCTL_SCSI_PASS_THROUGH_DIRECT:
// the discovery INQUIRY and the block of a queued execute request.
// Threads: any (pure functions).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/device_layer.h"
#include "transport/srb.h"

inline constexpr uint8_t SPTI_TARGET_ID = 1;
inline constexpr uint8_t SPTI_MAX_SENSE = 32;
inline constexpr uint32_t SPTI_INQUIRY_LENGTH = 96;
// The discovery INQUIRY runs on the window thread before the window is
// shown: a device that does not answer must not hold the start-up longer
// than this. A drive answers INQUIRY at once, even while it spins up.
inline constexpr uint32_t SPTI_INQUIRY_TIMEOUT_S = 10;

// The discovery INQUIRY into `data` (SPTI_INQUIRY_LENGTH bytes).
platform::SptdBlock BuildInquiryBlock(uint8_t* data);

// The block of an execute request, at the time-out current when it is queued.
// The CDB is copied for at most 16 bytes; callers refuse longer lengths first.
platform::SptdBlock BuildExecuteBlock(const SRB_ExecSCSICmd& srb, uint32_t timeoutSeconds);

// How many bytes of the caller's sense area a request zeroes and fills: what
// the device is asked for, but never past the end of the block's sense area.
constexpr std::size_t SenseBytesToCopy(const platform::SptdBlock& block) {
  return block.sptd.SenseInfoLength < SENSE_AREA_LEN ? block.sptd.SenseInfoLength : SENSE_AREA_LEN;
}
