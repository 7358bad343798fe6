// Writes the answer to IOCTL_SCSI_GET_INQUIRY_DATA for an adapter with one
// bus and one device (target 0, LUN 0): an SCSI_ADAPTER_BUS_INFO whose first
// SCSI_BUS_DATA points at one SCSI_INQUIRY_DATA record holding the device's
// standard INQUIRY bytes. Shared by every device layer that has to build the
// record itself because its system has no such control.
// Threads: any (pure function).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/device_layer.h"

namespace platform {

// SCSI_ADAPTER_BUS_INFO with one SCSI_BUS_DATA: NumberOfBuses, padding, then
// {NumberOfLogicalUnits, InitiatorBusId, padding, InquiryDataOffset}.
inline constexpr std::size_t BUS_INFO_ONE_BUS_SIZE = 12;
inline constexpr std::size_t INQUIRY_RECORD_HEADER = offsetof(SCSI_INQUIRY_DATA, InquiryData);
inline constexpr uint8_t ADAPTER_INITIATOR_ID = 7;

inline void PutLe32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

// Size of the whole answer for an INQUIRY of inquiryLen bytes.
constexpr std::size_t AdapterBusInfoSize(std::size_t inquiryLen) {
  return BUS_INFO_ONE_BUS_SIZE + INQUIRY_RECORD_HEADER + inquiryLen;
}

// False (and nothing written) when out cannot hold the answer.
inline bool WriteAdapterBusInfo(void* out, std::size_t outLen, const uint8_t* inquiry, uint32_t inquiryLen) {
  if (out == nullptr || outLen < AdapterBusInfoSize(inquiryLen)) return false;
  auto* bytes = static_cast<uint8_t*>(out);
  std::memset(bytes, 0, AdapterBusInfoSize(inquiryLen));
  bytes[0] = 1;  // NumberOfBuses
  bytes[4] = 1;  // NumberOfLogicalUnits
  bytes[5] = ADAPTER_INITIATOR_ID;
  PutLe32(bytes + BUS_INFO_FIRST_INQUIRY_OFFSET, BUS_INFO_ONE_BUS_SIZE);
  uint8_t* record = bytes + BUS_INFO_ONE_BUS_SIZE;
  record[3] = 1;  // DeviceClaimed
  PutLe32(record + offsetof(SCSI_INQUIRY_DATA, InquiryDataLength), inquiryLen);
  // NextInquiryDataOffset stays 0: this is the only record.
  std::memcpy(record + INQUIRY_RECORD_HEADER, inquiry, inquiryLen);
  return true;
}

}  // namespace platform
