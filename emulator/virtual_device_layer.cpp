#include "emulator/virtual_device_layer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/adapter_bus_info.h"
#include "platform/thread.h"

namespace emulator {

using platform::DeviceHandle;
using platform::PassThroughResult;
using platform::SptdBlock;

// Counts a call as inside the layer for as long as it runs, so the
// destructor can wait for the last one.
class VirtualDeviceLayer::CallGuard {
 public:
  explicit CallGuard(VirtualDeviceLayer& layer) : layer_(layer) {
    platform::LockGuard guard(layer_.lock_);
    ++layer_.callsInside_;
  }
  ~CallGuard() {
    platform::LockGuard guard(layer_.lock_);
    --layer_.callsInside_;
    layer_.changed_.NotifyAll();
  }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;

 private:
  VirtualDeviceLayer& layer_;
};

VirtualDeviceLayer::~VirtualDeviceLayer() {
  platform::UniqueLock guard(lock_);
  closing_ = true;
  changed_.NotifyAll();
  changed_.Wait(guard, [&] { return callsInside_ == 0; });
}

void VirtualDeviceLayer::Place(uint8_t letterIndex, std::shared_ptr<ScsiDevice> device,
                               VirtualLetter settings) {
  auto letter = std::make_shared<Letter>();
  letter->device = std::move(device);
  letter->settings = settings;
  letter->openFailuresLeft = settings.openFailures;
  letter->controls.reserve(MAX_RECORDED);  // recording then never allocates
  platform::LockGuard guard(lock_);
  letters_[letterIndex] = std::move(letter);
}

std::shared_ptr<VirtualDeviceLayer::Letter> VirtualDeviceLayer::Find(uint8_t letterIndex) const {
  auto it = letters_.find(letterIndex);
  return it == letters_.end() ? nullptr : it->second;
}

void VirtualDeviceLayer::FailPassThrough(uint8_t letterIndex, uint32_t count) {
  platform::LockGuard guard(lock_);
  if (auto letter = Find(letterIndex)) letter->passThroughFailuresLeft = count;
}

void VirtualDeviceLayer::LoseReplies(uint8_t letterIndex, uint32_t count) {
  platform::LockGuard guard(lock_);
  if (auto letter = Find(letterIndex)) letter->lostRepliesLeft = count;
}

void VirtualDeviceLayer::HoldPassThrough(uint8_t letterIndex) {
  platform::LockGuard guard(lock_);
  if (auto letter = Find(letterIndex)) letter->held = true;
}

void VirtualDeviceLayer::ReleasePassThrough(uint8_t letterIndex) {
  platform::LockGuard guard(lock_);
  if (auto letter = Find(letterIndex)) letter->held = false;
  changed_.NotifyAll();
}

bool VirtualDeviceLayer::WaitForHeldCall(uint8_t letterIndex, uint32_t ms) {
  platform::UniqueLock guard(lock_);
  auto letter = Find(letterIndex);
  if (!letter) return false;
  return changed_.WaitFor(guard, ms, [&] { return letter->waitingInHold > 0; });
}

void VirtualDeviceLayer::SetRealSleep(bool real) {
  platform::LockGuard guard(lock_);
  realSleep_ = real;
}

std::vector<VirtualDeviceLayer::OpenAttempt> VirtualDeviceLayer::OpenAttempts() const {
  platform::LockGuard guard(lock_);
  return openAttempts_;
}

std::size_t VirtualDeviceLayer::OpenHandles() const {
  platform::LockGuard guard(lock_);
  return handles_.size();
}

uint32_t VirtualDeviceLayer::BadCloses() const {
  platform::LockGuard guard(lock_);
  return badCloses_;
}

std::vector<uint32_t> VirtualDeviceLayer::Controls(uint8_t letterIndex) const {
  platform::LockGuard guard(lock_);
  auto letter = Find(letterIndex);
  return letter ? letter->controls : std::vector<uint32_t>{};
}

uint32_t VirtualDeviceLayer::PassThroughCalls(uint8_t letterIndex) const {
  platform::LockGuard guard(lock_);
  auto letter = Find(letterIndex);
  return letter ? letter->passThroughCalls : 0;
}

uint32_t VirtualDeviceLayer::Sleeps() const {
  platform::LockGuard guard(lock_);
  return sleeps_;
}

DeviceHandle VirtualDeviceLayer::CreateFile(uint8_t driveLetterIndex) {
  platform::LockGuard guard(lock_);
  if (openAttempts_.size() < MAX_RECORDED) openAttempts_.push_back({driveLetterIndex, sleeps_});
  auto letter = Find(driveLetterIndex);
  if (!letter) return platform::INVALID_HANDLE_VALUE;
  if (letter->openFailuresLeft > 0) {
    --letter->openFailuresLeft;
    return platform::INVALID_HANDLE_VALUE;
  }
  const DeviceHandle h = ++lastHandle_;
  handles_.emplace(h, std::move(letter));
  return h;
}

void VirtualDeviceLayer::CloseHandle(DeviceHandle h) {
  platform::LockGuard guard(lock_);
  if (handles_.erase(h) == 0) ++badCloses_;
}

void VirtualDeviceLayer::Sleep(uint32_t ms) {
  bool real;
  {
    platform::LockGuard guard(lock_);
    ++sleeps_;
    real = realSleep_;
  }
  if (real) platform::SleepMs(ms);
}

std::shared_ptr<VirtualDeviceLayer::Letter> VirtualDeviceLayer::LetterOf(DeviceHandle h, uint32_t code) {
  platform::LockGuard guard(lock_);
  auto it = handles_.find(h);
  if (it == handles_.end()) return nullptr;
  if (it->second->controls.size() < MAX_RECORDED) it->second->controls.push_back(code);
  return it->second;
}

bool VirtualDeviceLayer::DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                                         uint32_t outLen) {
  CallGuard inside(*this);
  auto letter = LetterOf(h, code);
  if (!letter) return false;
  switch (code) {
    case platform::IOCTL_SCSI_GET_INQUIRY_DATA:
      return AnswerInquiryData(*letter, out, outLen);
    case platform::IOCTL_SCSI_GET_CAPABILITIES:
      return AnswerCapabilities(*letter, out, outLen);
    case platform::IOCTL_SCSI_PASS_THROUGH_DIRECT:
      return PassThrough(*letter, in, inLen, out, outLen) == PassThroughResult::Done;
    default:
      return false;
  }
}

PassThroughResult VirtualDeviceLayer::SendPassThrough(DeviceHandle h, SptdBlock& block) {
  CallGuard inside(*this);
  auto letter = LetterOf(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT);
  if (!letter) return PassThroughResult::NotSent;
  return PassThrough(*letter, &block, sizeof block, &block, sizeof block);
}

bool VirtualDeviceLayer::AnswerInquiryData(Letter& letter, void* out, uint32_t outLen) {
  {
    platform::LockGuard guard(lock_);
    if (!letter.settings.answersInquiryData) return false;
  }
  const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, INQUIRY_LENGTH, 0};
  std::array<uint8_t, INQUIRY_LENGTH> data{};
  ScsiCommand command{cdb.data(), static_cast<uint8_t>(cdb.size()), DataDirection::In, data.data(),
                      INQUIRY_LENGTH};
  ScsiReply reply;
  if (!Execute(letter, command, reply) || reply.status != SCSI_GOOD) return false;
  return platform::WriteAdapterBusInfo(out, outLen, data.data(), INQUIRY_LENGTH);
}

bool VirtualDeviceLayer::AnswerCapabilities(Letter& letter, void* out, uint32_t outLen) {
  platform::IO_SCSI_CAPABILITIES caps{};
  {
    platform::LockGuard guard(lock_);
    if (!letter.settings.answersCapabilities) return false;
    caps.MaximumTransferLength = letter.settings.maximumTransferLength;
    caps.AlignmentMask = letter.settings.alignmentMask;
  }
  if (out == nullptr || outLen < sizeof caps) return false;
  caps.Length = sizeof caps;
  caps.MaximumPhysicalPages = caps.MaximumTransferLength / 4096 + 1;
  std::memcpy(out, &caps, sizeof caps);
  return true;
}

bool VirtualDeviceLayer::Execute(Letter& letter, const ScsiCommand& command, ScsiReply& reply) {
  platform::LockGuard one(letter.executing);
  return letter.device->Execute(command, reply);
}

PassThroughResult VirtualDeviceLayer::AdmitPassThrough(Letter& letter) {
  platform::UniqueLock guard(lock_);
  ++letter.passThroughCalls;
  if (letter.passThroughFailuresLeft > 0) {
    if (letter.passThroughFailuresLeft != ALWAYS) --letter.passThroughFailuresLeft;
    return PassThroughResult::NotSent;
  }
  if (letter.held) {
    ++letter.waitingInHold;
    changed_.NotifyAll();
    changed_.Wait(guard, [&] { return !letter.held || closing_; });
    --letter.waitingInHold;
  }
  // A held call cut off by the layer's end stands for a command that hung at
  // the drive: it was sent.
  return closing_ ? PassThroughResult::Failed : PassThroughResult::Done;
}

PassThroughResult VirtualDeviceLayer::PassThrough(Letter& letter, void* in, uint32_t inLen, void* out,
                                                  uint32_t outLen) {
  constexpr PassThroughResult refused = PassThroughResult::NotSent;
  if (const PassThroughResult admitted = AdmitPassThrough(letter); admitted != PassThroughResult::Done)
    return admitted;
  if (in == nullptr || out == nullptr || inLen < sizeof(SptdBlock) || outLen < sizeof(SptdBlock))
    return refused;
  if (in != out) std::memcpy(out, in, sizeof(SptdBlock));
  auto& sptd = static_cast<SptdBlock*>(out)->sptd;
  uint32_t maxTransfer;
  {
    platform::LockGuard guard(lock_);
    maxTransfer = letter.settings.maximumTransferLength;
  }
  if (sptd.CdbLength > sizeof sptd.Cdb || sptd.DataTransferLength > maxTransfer) return refused;
  if (sptd.SenseInfoLength > 0 && uint64_t{sptd.SenseInfoOffset} + sptd.SenseInfoLength > outLen)
    return refused;
  if (sptd.DataTransferLength > 0 && sptd.DataBuffer == nullptr) return refused;

  DataDirection direction = DataDirection::None;
  if (sptd.DataTransferLength > 0) {
    if (sptd.DataIn == platform::SCSI_IOCTL_DATA_IN)
      direction = DataDirection::In;
    else if (sptd.DataIn == platform::SCSI_IOCTL_DATA_OUT)
      direction = DataDirection::Out;
    else
      return refused;
  }
  ScsiCommand command{sptd.Cdb, sptd.CdbLength, direction, static_cast<uint8_t*>(sptd.DataBuffer),
                      sptd.DataTransferLength};
  ScsiReply reply;
  if (!Execute(letter, command, reply)) return PassThroughResult::Failed;
  {
    platform::LockGuard guard(lock_);
    if (letter.lostRepliesLeft > 0) {
      --letter.lostRepliesLeft;
      return PassThroughResult::Failed;
    }
  }

  sptd.ScsiStatus = reply.status;
  const std::size_t senseLen =
      std::min<std::size_t>({reply.senseLen, reply.sense.size(), sptd.SenseInfoLength});
  std::memcpy(static_cast<uint8_t*>(out) + sptd.SenseInfoOffset, reply.sense.data(), senseLen);
  sptd.DataTransferLength = std::min(reply.transferred, sptd.DataTransferLength);
  return PassThroughResult::Done;
}

}  // namespace emulator
