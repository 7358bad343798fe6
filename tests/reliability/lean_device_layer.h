// A device layer with one drive letter and nothing else: it answers the
// three storage controls for one stand-in device and keeps no record of the
// calls, so that a long run of flashes grows no memory of its own (the
// emulator's layer keeps every control code it was asked).
// Threads: any. Calls may overlap (a call of a worker that was given up may
// still run when the next worker calls); the device behind must allow that,
// as the virtual drive and the tap do.
#pragma once

#include <cstdint>

#include "emulator/scsi_device.h"
#include "platform/device_layer.h"

namespace reliability {

class LeanDeviceLayer final : public platform::DeviceLayer {
 public:
  LeanDeviceLayer(uint8_t letterIndex, emulator::ScsiDevice& device)
      : letter_(letterIndex), device_(device) {}

  platform::DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(platform::DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  void CloseHandle(platform::DeviceHandle) override {}
  void Sleep(uint32_t) override {}

 private:
  bool InquiryData(void* out, uint32_t outLen);
  bool PassThrough(void* in, uint32_t inLen, void* out, uint32_t outLen);

  const uint8_t letter_;
  emulator::ScsiDevice& device_;
};

}  // namespace reliability
