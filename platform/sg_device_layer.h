// The device layer for real drives on Linux: drive-letter index i is the SCSI
// generic node /dev/sg<i>, and the three storage controls become SG_IO
// requests and queue-limit queries on it.
//
// Why /dev/sg* and not /dev/sr*: through an sg node opened read-write the
// kernel passes vendor opcodes gated only by the node's permissions, whereas
// block-layer SG_IO on /dev/sr* refuses opcodes 0xC0-0xFF without
// CAP_SYS_RAWIO. Like a Windows drive letter, a node may be a disk or an
// optical drive; INQUIRY is harmless to both, and vendor commands go only to
// drives whose identity matched.
//
// Handles are this layer's own numbers, never reused; a handle closed while
// a call on it still runs keeps its descriptor open until that call returns,
// so a late call can never reach a descriptor number the system has reused.
// Threads: any; see platform/device_layer.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/device_layer.h"

namespace platform {

// The system calls the layer makes; replaced by a recording fake in tests.
// Threads: any.
class SgSystemCalls {
 public:
  virtual ~SgSystemCalls() = default;
  virtual int Open(const std::string& path, int flags) = 0;         // descriptor, or -1
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;  // -1 on failure
  virtual void Close(int fd) = 0;
};

SgSystemCalls& RealSgSystemCalls();

// Read-write for SG_IO with any opcode; non-blocking so that opening never
// waits behind another process's exclusive open (SG_IO itself stays
// synchronous); close-on-exec so a started child inherits no drive.
extern const int SG_OPEN_FLAGS;
// INQUIRY behind the inquiry-data control may meet a drive still spinning up.
inline constexpr uint32_t SG_INQUIRY_TIMEOUT_MS = 20000;
inline constexpr uint32_t SG_SENSE_MAX_LEN = 32;

std::string SgNodePath(uint8_t driveLetterIndex);
// Seconds of the pass-through block to the ioctl's milliseconds, clamped to the largest
// finite value (the all-ones value would mean "no time limit").
uint32_t SgTimeoutMs(uint32_t seconds);

class SgDeviceLayer final : public DeviceLayer {
 public:
  explicit SgDeviceLayer(SgSystemCalls& calls = RealSgSystemCalls());
  ~SgDeviceLayer() override;  // closes whatever is still open
  SgDeviceLayer(const SgDeviceLayer&) = delete;
  SgDeviceLayer& operator=(const SgDeviceLayer&) = delete;

  DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  void CloseHandle(DeviceHandle h) override;
  void Sleep(uint32_t ms) override;

 private:
  class Descriptor;

  std::shared_ptr<Descriptor> Find(DeviceHandle h);
  bool AnswerInquiryData(int fd, void* out, uint32_t outLen);
  bool AnswerCapabilities(int fd, void* out, uint32_t outLen);
  bool PassThrough(int fd, void* in, uint32_t inLen, void* out, uint32_t outLen);

  SgSystemCalls& calls_;
  std::mutex lock_;
  std::map<DeviceHandle, std::shared_ptr<Descriptor>> open_;
  DeviceHandle lastHandle_ = 0;
};

}  // namespace platform
