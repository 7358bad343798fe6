// A device layer over stand-in SCSI devices placed on chosen drive letters,
// for tests and the demo. It answers the three storage controls the way the
// Windows port driver does: the inquiry data from the device's own INQUIRY,
// the capabilities from the letter's settings, and the pass-through block
// translated into one ScsiDevice command.
//
// Misbehaviour on demand: letters that are absent or open only after some
// failed attempts, that answer the inquiry-data control but not the
// capabilities one, that answer only the pass-through INQUIRY, capabilities
// above any limit, and pass-through calls that fail or hang until released.
//
// Handles are never reused, and a handle closed while a call on it is still
// running keeps its letter alive until that call returns. A letter's device
// gets one command at a time, even when a caller that was given up on is
// released while another call is on its way.
// Threads: every operation may be called from any thread. Place() belongs
// before the layer is handed out. The destructor releases held calls and
// waits for every call inside the layer to return, so a device must not be
// hung in its own Execute when the layer goes away.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "emulator/scsi_device.h"
#include "platform/device_layer.h"
#include "platform/lock.h"

namespace emulator {

struct VirtualLetter {
  bool answersInquiryData = true;   // IOCTL_SCSI_GET_INQUIRY_DATA
  bool answersCapabilities = true;  // IOCTL_SCSI_GET_CAPABILITIES
  uint32_t maximumTransferLength = 65536;
  uint32_t alignmentMask = 1;
  uint32_t openFailures = 0;  // CreateFile fails this many times before the letter opens
};

class VirtualDeviceLayer final : public platform::DeviceLayer {
 public:
  static constexpr uint32_t ALWAYS = UINT32_MAX;
  static constexpr uint32_t INQUIRY_LENGTH = 36;
  // What the records below keep at most: a long-running demo must not grow
  // by every command. Start-up and any test stay far below.
  static constexpr std::size_t MAX_RECORDED = 1024;

  VirtualDeviceLayer() = default;
  ~VirtualDeviceLayer() override;
  VirtualDeviceLayer(const VirtualDeviceLayer&) = delete;
  VirtualDeviceLayer& operator=(const VirtualDeviceLayer&) = delete;

  // letterIndex 0 = C ... 23 = Z.
  void Place(uint8_t letterIndex, std::shared_ptr<ScsiDevice> device, VirtualLetter settings = {});

  // The next `count` pass-through calls on the letter fail without reaching the device.
  void FailPassThrough(uint8_t letterIndex, uint32_t count);
  // The next `count` pass-through calls reach the device, which acts on
  // them, and then fail as after a bus reset at the host adapter.
  void LoseReplies(uint8_t letterIndex, uint32_t count);
  // Pass-through calls on the letter block until released (or the layer goes away).
  void HoldPassThrough(uint8_t letterIndex);
  void ReleasePassThrough(uint8_t letterIndex);
  // True once at least one call is blocked by the hold; false after ms without one.
  bool WaitForHeldCall(uint8_t letterIndex, uint32_t ms);
  // Its inquiry-data control asks the letter's drive, as the Linux layer does.
  bool InquiryDataSendsInquiry() const override { return true; }
  // Sleep() really sleeps unless switched off; it always counts.
  void SetRealSleep(bool real);

  // One CreateFile call: the letter asked for, and how many sleeps came before it.
  struct OpenAttempt {
    uint8_t letterIndex;
    uint32_t sleepsBefore;
    bool operator==(const OpenAttempt&) const = default;
  };
  std::vector<OpenAttempt> OpenAttempts() const;  // the first MAX_RECORDED CreateFile calls, in call order
  std::size_t OpenHandles() const;
  uint32_t BadCloses() const;                                 // CloseHandle on a handle that is not open
  std::vector<uint32_t> Controls(uint8_t letterIndex) const;  // the first MAX_RECORDED control codes asked, in order
  uint32_t PassThroughCalls(uint8_t letterIndex) const;       // including failed and held ones
  uint32_t Sleeps() const;

  platform::DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(platform::DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  // Injected failures are refusals before submission (NotSent); a device
  // that returns no reply counts as reached (Failed).
  platform::PassThroughResult SendPassThrough(platform::DeviceHandle h, platform::SptdBlock& block) override;
  void CloseHandle(platform::DeviceHandle h) override;
  void Sleep(uint32_t ms) override;

 private:
  struct Letter {
    std::shared_ptr<ScsiDevice> device;
    platform::Mutex executing;  // held for the length of one device command
    VirtualLetter settings;
    uint32_t openFailuresLeft = 0;
    uint32_t passThroughFailuresLeft = 0;
    uint32_t lostRepliesLeft = 0;
    bool held = false;
    uint32_t waitingInHold = 0;
    uint32_t passThroughCalls = 0;
    std::vector<uint32_t> controls;
  };
  class CallGuard;

  std::shared_ptr<Letter> LetterOf(platform::DeviceHandle h, uint32_t code);
  std::shared_ptr<Letter> Find(uint8_t letterIndex) const;
  bool AnswerInquiryData(Letter& letter, void* out, uint32_t outLen);
  bool AnswerCapabilities(Letter& letter, void* out, uint32_t outLen);
  platform::PassThroughResult PassThrough(Letter& letter, void* in, uint32_t inLen, void* out,
                                          uint32_t outLen);
  // Counts the call and applies the letter's failures and hold; Done: go on.
  platform::PassThroughResult AdmitPassThrough(Letter& letter);
  static bool Execute(Letter& letter, const ScsiCommand& command, ScsiReply& reply);

  mutable platform::Mutex lock_;
  platform::ConditionVariable changed_;
  std::map<uint8_t, std::shared_ptr<Letter>> letters_;
  std::map<platform::DeviceHandle, std::shared_ptr<Letter>> handles_;
  platform::DeviceHandle lastHandle_ = 0x100;
  std::vector<OpenAttempt> openAttempts_;
  uint32_t badCloses_ = 0;
  uint32_t sleeps_ = 0;
  uint32_t callsInside_ = 0;
  bool realSleep_ = true;
  bool closing_ = false;
};

}  // namespace emulator
