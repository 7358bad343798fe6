#include "tests/reliability/lean_device_layer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/adapter_bus_info.h"

namespace reliability {

namespace {

constexpr platform::DeviceHandle HANDLE = 0x4C;
constexpr uint32_t INQUIRY_LEN = 36;
constexpr uint32_t MAX_TRANSFER = 65536;

}  // namespace

platform::DeviceHandle LeanDeviceLayer::CreateFile(uint8_t driveLetterIndex) {
  return driveLetterIndex == letter_ ? HANDLE : platform::INVALID_HANDLE_VALUE;
}

bool LeanDeviceLayer::DeviceIoControl(platform::DeviceHandle h, uint32_t code, void* in, uint32_t inLen,
                                      void* out, uint32_t outLen) {
  if (h != HANDLE) return false;
  switch (code) {
    case platform::IOCTL_SCSI_GET_INQUIRY_DATA:
      return InquiryData(out, outLen);
    case platform::IOCTL_SCSI_GET_CAPABILITIES: {
      if (out == nullptr || outLen < sizeof(platform::IO_SCSI_CAPABILITIES)) return false;
      platform::IO_SCSI_CAPABILITIES caps{};
      caps.Length = sizeof caps;
      caps.MaximumTransferLength = MAX_TRANSFER;
      caps.AlignmentMask = 1;
      std::memcpy(out, &caps, sizeof caps);
      return true;
    }
    case platform::IOCTL_SCSI_PASS_THROUGH_DIRECT:
      return PassThrough(in, inLen, out, outLen);
    default:
      return false;
  }
}

bool LeanDeviceLayer::InquiryData(void* out, uint32_t outLen) {
  const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, INQUIRY_LEN, 0};
  std::array<uint8_t, INQUIRY_LEN> data{};
  emulator::ScsiCommand command{cdb.data(), static_cast<uint8_t>(cdb.size()), emulator::DataDirection::In,
                                data.data(), INQUIRY_LEN};
  emulator::ScsiReply reply;
  if (!device_.Execute(command, reply) || reply.status != emulator::SCSI_GOOD) return false;
  return platform::WriteAdapterBusInfo(out, outLen, data.data(), INQUIRY_LEN);
}

bool LeanDeviceLayer::PassThrough(void* in, uint32_t inLen, void* out, uint32_t outLen) {
  if (in == nullptr || out == nullptr || inLen < sizeof(platform::SptdBlock) ||
      outLen < sizeof(platform::SptdBlock))
    return false;
  if (in != out) std::memcpy(out, in, sizeof(platform::SptdBlock));
  auto& block = *static_cast<platform::SptdBlock*>(out);
  auto& sptd = block.sptd;
  if (sptd.CdbLength > sizeof sptd.Cdb || sptd.DataTransferLength > MAX_TRANSFER) return false;
  emulator::DataDirection direction = emulator::DataDirection::None;
  if (sptd.DataTransferLength > 0)
    direction = sptd.DataIn == platform::SCSI_IOCTL_DATA_IN ? emulator::DataDirection::In
                                                            : emulator::DataDirection::Out;
  emulator::ScsiCommand command{sptd.Cdb, sptd.CdbLength, direction, static_cast<uint8_t*>(sptd.DataBuffer),
                                sptd.DataTransferLength};
  emulator::ScsiReply reply;
  if (!device_.Execute(command, reply)) return false;
  sptd.ScsiStatus = reply.status;
  const std::size_t senseLen =
      std::min<std::size_t>({reply.senseLen, sizeof block.SenseBuf, sptd.SenseInfoLength});
  std::memcpy(block.SenseBuf, reply.sense.data(), senseLen);
  return true;
}

}  // namespace reliability
