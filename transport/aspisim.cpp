// The simulator object: creation, adapter discovery, the support
// information and the teardown.
#include "transport/aspisim.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "transport/aspisim_queue.h"
#include "transport/command_trace.h"
#include "transport/spti_block.h"

namespace {

constexpr uint32_t INQUIRY_DATA_BUFFER = 2048;
constexpr uint32_t PASS_THROUGH_MAX_TRANSFER = 65536;
constexpr uint32_t PASS_THROUGH_ALIGNMENT = 1;
// What the inquiry-data control holds of the drive's INQUIRY data (both layers that send it ask for 36 bytes).
constexpr uint8_t LAYER_INQUIRY_LENGTH = 36;
constexpr uint32_t SUPPORT_INFO_FAILED = uint32_t{SS_FAILED_INIT} << 8;
constexpr uint32_t SUPPORT_INFO_READY = uint32_t{SS_COMP} << 8;

uint32_t Le32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

}  // namespace

ASPISim::ASPISim(platform::DeviceLayer& devices, EventService& events, std::atomic<int32_t>& hostAdapterCount,
                 WorkerStarter startThread)
    : ASPISim(devices, events, hostAdapterCount, std::nullopt, std::move(startThread)) {}

ASPISim::ASPISim(platform::DeviceLayer& devices, EventService& events, std::atomic<int32_t>& hostAdapterCount,
                 std::optional<OpenedLetters> opened, WorkerStarter startThread)
    : devices_(devices),
      events_(events),
      hostAdapterCount_(hostAdapterCount),
      startThread_(std::move(startThread)) {
  AspiSimCompanions& companions = Companions();
  active_.store(0);
  companions.instance.store(this);
  timeoutSeconds_.store(ASPISIM_DEFAULT_TIMEOUT_S);
  // A previous simulator's teardown leaves the flag set.
  companions.stopFlag.store(0);
  companions.wakeEvent.store(events_.CreateEvent());
  {
    platform::LockGuard guard(workerLock_);
    worker_ = StartWorker();
  }
  ScanAdapters(std::move(opened));
}

ASPISim::~ASPISim() {
  AspiSimCompanions& companions = Companions();
  {
    platform::LockGuard guard(workerLock_);
    StopWorker(true);
  }
  ReleaseAll();
  ASPISim* self = this;
  companions.instance.compare_exchange_strong(self, nullptr);
  const EventHandle wake = companions.wakeEvent.exchange(NO_EVENT);
  if (wake != NO_EVENT) events_.CloseHandle(wake);
}

ASPISim* ASPISim::Instance() { return Companions().instance.load(); }

uint32_t ASPISim::GetASPI32SupportInfo() {
  const ASPISim* sim = Instance();
  if (sim == nullptr || !sim->Active()) return SUPPORT_INFO_FAILED;
  return SUPPORT_INFO_READY + static_cast<uint32_t>(sim->AdapterCount());
}

const SptiAdapter* ASPISim::Adapter(uint8_t haId) const {
  return haId < ASPISIM_MAX_ADAPTERS ? table_[haId] : nullptr;
}

std::size_t ASPISim::QueuedRequests() const {
  platform::LockGuard guard(Companions().queueLock);
  return AspiSimQueue::Count(*this);
}

std::unique_ptr<platform::DeviceLock> ASPISim::LockAdapter(uint8_t haId, std::string& refusal) {
  const SptiAdapter* const adapter = Adapter(haId);
  if (adapter == nullptr) {
    refusal = "no such adapter";
    return nullptr;
  }
  return devices_.LockExclusive(adapter->device.get(), refusal);
}

void ASPISim::ScanAdapters(std::optional<OpenedLetters> given) {
  ReleaseAll();
  Companions().instance.store(this);
  active_.store(0);
  OpenedLetters opened = given ? std::move(*given) : OpenDriveLetters(devices_);
  for (uint8_t index = 0; index < ASPISIM_MAX_ADAPTERS; ++index) {
    if (opened[index].get() == platform::INVALID_HANDLE_VALUE) continue;
    auto adapter = std::make_unique<SptiAdapter>();
    adapter->haId = static_cast<uint8_t>(adapterCount_.load());
    adapter->driveLetterIndex = index;
    adapter->device = std::move(opened[index]);
    // A dropped adapter's record goes here, and its handle with it.
    if (IdentifyAdapter(*adapter)) AcceptAdapter(std::move(adapter));
  }
  hostAdapterCount_.store(adapterCount_.load());
  if (adapterCount_.load() != 0) active_.store(1);
}

bool ASPISim::IdentifyAdapter(SptiAdapter& adapter) {
  std::array<uint8_t, INQUIRY_DATA_BUFFER> info{};
  const uint32_t startMs = platform::TickMs();
  const bool answered = devices_.DeviceIoControl(adapter.device.get(), platform::IOCTL_SCSI_GET_INQUIRY_DATA,
                                                 nullptr, 0, info.data(), INQUIRY_DATA_BUFFER);
  // The record offset comes from the device: one that points outside the
  // answer makes the answer unusable, as if the control had failed. Summed
  // in 64 bits: in a 32-bit size_t an offset near 4 GiB would wrap round
  // to a small index inside the answer.
  const uint32_t record = answered ? Le32(info.data() + platform::BUS_INFO_FIRST_INQUIRY_OFFSET) : 0;
  const uint64_t peripheral = uint64_t{record} + offsetof(platform::SCSI_INQUIRY_DATA, InquiryData);
  const bool usable = answered && peripheral + LAYER_INQUIRY_LENGTH <= INQUIRY_DATA_BUFFER;
  if (devices_.InquiryDataSendsInquiry())
    TraceLayerInquiry(adapter.haId, usable ? info.data() + peripheral : nullptr, startMs);
  if (!answered || peripheral >= INQUIRY_DATA_BUFFER) return InquireThroughPassThrough(adapter);

  adapter.deviceType = info[static_cast<std::size_t>(peripheral)] & 0x0F;
  return devices_.DeviceIoControl(adapter.device.get(), platform::IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0,
                                  &adapter.capabilities, sizeof adapter.capabilities);
}

void ASPISim::TraceLayerInquiry(uint8_t haId, const uint8_t* data, uint32_t startMs) {
  CommandTrace* trace = InstalledCommandTrace();
  if (trace == nullptr) return;
  std::array<uint8_t, LAYER_INQUIRY_LENGTH> reply{};
  if (data != nullptr) std::memcpy(reply.data(), data, reply.size());
  SRB_ExecSCSICmd block{};
  block.SRB_Cmd = SC_EXEC_SCSI_CMD;
  block.SRB_Status = data != nullptr ? SS_COMP : SS_ERR;
  block.SRB_HaId = haId;
  block.SRB_Flags = SRB_DIR_IN;
  block.SRB_BufLen = static_cast<uint32_t>(reply.size());
  block.SRB_BufPointer = reply.data();
  block.SRB_CDBLen = 6;
  const std::array<uint8_t, 6> cdb{0x12, 0, 0, 0, LAYER_INQUIRY_LENGTH, 0};
  std::memcpy(block.CDBByte, cdb.data(), cdb.size());
  trace->Command(block, startMs, platform::TickMs() - startMs, false);
}

bool ASPISim::InquireThroughPassThrough(SptiAdapter& adapter) {
  std::array<uint8_t, SPTI_INQUIRY_LENGTH> data{};
  platform::SptdBlock block = BuildInquiryBlock(data.data());
  if (!devices_.DeviceIoControl(adapter.device.get(), platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block,
                                sizeof block, &block, sizeof block))
    return false;
  adapter.deviceType = data[0] & 0x0F;
  adapter.capabilities.MaximumTransferLength = PASS_THROUGH_MAX_TRANSFER;
  adapter.capabilities.AlignmentMask = PASS_THROUGH_ALIGNMENT;
  return true;
}

void ASPISim::AcceptAdapter(std::unique_ptr<SptiAdapter> adapter) {
  const int32_t number = adapterCount_.load();
  SptiAdapter* const added = adapter.get();
  table_[number] = added;
  if (lastAdapter_ == nullptr)
    firstAdapter_ = std::move(adapter);
  else
    lastAdapter_->next = std::move(adapter);
  lastAdapter_ = added;
  adapterCount_.store(number + 1);
}

void ASPISim::ReleaseAll() {
  active_.store(0);
  table_.fill(nullptr);
  lastAdapter_ = nullptr;
  adapterCount_.store(0);
  // One by one, closing each handle; no recursion through the chain.
  while (firstAdapter_ != nullptr) firstAdapter_ = std::move(firstAdapter_->next);
  platform::LockGuard guard(Companions().queueLock);
  AspiSimQueue::Clear(*this);
}
