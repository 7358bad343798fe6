// Device access for the pass-through simulator: open a device by drive-letter
// index, the three storage device controls with the Windows block layouts,
// close, and the 1 ms sleep between attempts.
//
// Three implementations: SgDeviceLayer (Linux SCSI generic, real drives),
// Win32DeviceLayer (Windows, platform/win32/win32_device_layer.h, real
// drives) and the emulator's VirtualDeviceLayer (tests and the demo).
// Where they differ for a caller: on Windows the system carries out calls
// on one handle one after another, so a call that hangs holds up the next
// call on that drive instead of overlapping it.
// Threads: any. The simulator's worker is the only caller after discovery,
// one call at a time, except that a call left hanging by a worker that was
// given up may still be running when the next worker calls on the same
// handle: implementations must allow that overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle INVALID_HANDLE_VALUE = -1;

inline constexpr uint32_t IOCTL_SCSI_GET_INQUIRY_DATA = 0x4100C;
inline constexpr uint32_t IOCTL_SCSI_GET_CAPABILITIES = 0x41010;
inline constexpr uint32_t IOCTL_SCSI_PASS_THROUGH_DIRECT = 0x4D014;

inline constexpr uint8_t SCSI_IOCTL_DATA_OUT = 0;
inline constexpr uint8_t SCSI_IOCTL_DATA_IN = 1;

// SCSI_ADAPTER_BUS_INFO: NumberOfBuses at 0, then SCSI_BUS_DATA records
// {NumberOfLogicalUnits, InitiatorBusId, InquiryDataOffset (32 bits)} from
// offset 4, so the first InquiryDataOffset sits at offset 8.
inline constexpr std::size_t BUS_INFO_FIRST_INQUIRY_OFFSET = 8;

// SCSI_INQUIRY_DATA: PathId, TargetId, Lun, DeviceClaimed, InquiryDataLength,
// NextInquiryDataOffset, then the standard INQUIRY bytes.
struct SCSI_INQUIRY_DATA {
  uint8_t PathId;
  uint8_t TargetId;
  uint8_t Lun;
  uint8_t DeviceClaimed;
  uint32_t InquiryDataLength;
  uint32_t NextInquiryDataOffset;
  uint8_t InquiryData[1];
};
static_assert(offsetof(SCSI_INQUIRY_DATA, InquiryData) == 12);

struct IO_SCSI_CAPABILITIES {
  uint32_t Length;
  uint32_t MaximumTransferLength;
  uint32_t MaximumPhysicalPages;
  uint32_t SupportedAsynchronousEvents;
  uint32_t AlignmentMask;
  uint8_t TaggedQueuing;
  uint8_t AdapterScansDown;
  uint8_t AdapterUsesPio;
};
static_assert(sizeof(IO_SCSI_CAPABILITIES) == 24);

template <typename Addr>
struct SCSI_PASS_THROUGH_DIRECT_T {
  uint16_t Length;
  uint8_t ScsiStatus;
  uint8_t PathId;
  uint8_t TargetId;
  uint8_t Lun;
  uint8_t CdbLength;
  uint8_t SenseInfoLength;
  uint8_t DataIn;
  uint32_t DataTransferLength;
  uint32_t TimeOutValue;
  Addr DataBuffer;
  uint32_t SenseInfoOffset;
  uint8_t Cdb[16];
};

// The block handed to IOCTL_SCSI_PASS_THROUGH_DIRECT as input and output:
// the pass-through record, 4 bytes of zero, 32 sense bytes.
template <typename Addr>
struct SptdBlockT {
  SCSI_PASS_THROUGH_DIRECT_T<Addr> sptd;
  uint32_t Filler;
  uint8_t SenseBuf[32];
};

static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT_T<uint32_t>) == 44);
static_assert(offsetof(SptdBlockT<uint32_t>, SenseBuf) == 48);
static_assert(sizeof(SptdBlockT<uint32_t>) == 80);

using SCSI_PASS_THROUGH_DIRECT = SCSI_PASS_THROUGH_DIRECT_T<void*>;
using SptdBlock = SptdBlockT<void*>;
// Where the sense bytes lie in this build's block (48 on 32-bit builds).
inline constexpr uint32_t SPTD_SENSE_OFFSET = offsetof(SptdBlock, SenseBuf);

// The longest time-out a pass-through request carries to the system. The
// block's own time-out is far longer (30 hours); the system gets at most the
// program's longest wait for a command (50 s, erase and program) plus 70 s,
// so that a command the program has given up on is taken back from the drive
// within two minutes, and a slow but sound command is never cut short by
// the system before the program itself stops waiting.
inline constexpr uint32_t PASS_THROUGH_TIMEOUT_MAX_S = 120;

// How a pass-through call ended. NotSent: the command provably never left
// the machine (the call was refused before submission), so sending it again
// is safe. Failed: it may have reached the device (the host adapter reported
// a reset or a time-out, or the outcome is unknown), so it is final: a
// program or erase command must never reach a drive twice.
enum class PassThroughResult { Done, NotSent, Failed };

// Held for the length of a flash run; released when destroyed.
class DeviceLock {
 public:
  virtual ~DeviceLock() = default;
};

class DeviceLayer {
 public:
  virtual ~DeviceLayer() = default;
  // Drive-letter index 0 = C ... 23 = Z; INVALID_HANDLE_VALUE when absent or not openable.
  virtual DeviceHandle CreateFile(uint8_t driveLetterIndex) = 0;
  // One of the three controls above, synchronous; true on success.
  virtual bool DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                               uint32_t outLen) = 0;
  // IOCTL_SCSI_PASS_THROUGH_DIRECT on `block` (input and output). A layer
  // that cannot tell where a failure happened keeps this default, which
  // counts every failure as possibly sent.
  virtual PassThroughResult SendPassThrough(DeviceHandle h, SptdBlock& block) {
    return DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block, sizeof block)
               ? PassThroughResult::Done
               : PassThroughResult::Failed;
  }
  // Keeps other programs (a second instance among them) from sending to the
  // device while the lock lives. nullptr when another holds it, with
  // `refusal` saying which device and, where known, who holds it. A layer
  // whose system has no such lock keeps this default, which always grants
  // a lock that keeps nobody out (Windows: a device handle takes no
  // advisory lock, and opening the drive unshared would lock out the
  // system's own use of it; the virtual layers have no other programs).
  virtual std::unique_ptr<DeviceLock> LockExclusive(DeviceHandle h, std::string& refusal) {
    (void)h;
    (void)refusal;
    return std::make_unique<DeviceLock>();
  }
  virtual void CloseHandle(DeviceHandle h) = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // One line for each device that exists but could not be opened, saying
  // why: the window says only that no drive was found. Empty where the
  // layer cannot tell.
  virtual std::vector<std::string> OpenProblems() const { return {}; }
  // Whether IOCTL_SCSI_GET_INQUIRY_DATA sends the drive an INQUIRY of the
  // layer's own (36 bytes) rather than answering from what the system
  // learnt when it found the drive: that command then reaches the drive
  // below the request blocks and is recorded where the control is used.
  virtual bool InquiryDataSendsInquiry() const { return false; }
};

}  // namespace platform
