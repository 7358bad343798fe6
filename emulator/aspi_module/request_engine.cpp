#include "emulator/aspi_module/request_engine.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "transport/srb.h"

namespace aspi_module {

namespace {

constexpr uint8_t DEVICE_TYPE_CDROM = 0x05;
constexpr std::size_t MAX_SPARE_REQUESTS = 4;
constexpr uint32_t MAX_TRANSFER = 0x10000;
constexpr char MANAGER_ID[16] = {'Z', 'X', ' ', 'V', 'i', 'r', 't', 'u',
                                 'a', 'l', ' ', 'A', 'S', 'P', 'I', ' '};

emulator::DataDirection DirectionOf(uint8_t flags) {
  if (flags & SRB_DIR_OUT) return emulator::DataDirection::Out;
  if (flags & SRB_DIR_IN) return emulator::DataDirection::In;
  return emulator::DataDirection::None;
}

}  // namespace

// Everything the worker needs, copied when the request is sent.
struct RequestEngine::Request {
  SRB_ExecSCSICmd* block = nullptr;
  emulator::ScsiDevice* device = nullptr;
  uint8_t flags = 0;
  uint8_t cdbLen = 0;
  uint8_t cdb[16] = {};
  uint8_t senseLen = 0;
  emulator::DataDirection direction = emulator::DataDirection::None;
  std::vector<uint8_t> data;  // out: the caller's bytes; in: filled by the drive
  void* callerBuffer = nullptr;
  void* postProc = nullptr;
  emulator::ScsiReply reply;
  bool reached = false;  // the command got to the drive
};

RequestEngine::RequestEngine(std::vector<AdapterSlot> adapters, uint32_t latencyMs, SignalEventFn signal)
    : adapters_(std::move(adapters)), latencyMs_(latencyMs), signal_(signal), timeoutHalfSeconds_(216000) {}

RequestEngine::~RequestEngine() {
  {
    platform::LockGuard guard(lock_);
    stop_ = true;
  }
  wake_.NotifyAll();
  worker_.reset();  // the last one to touch it: nothing else starts a worker now
  std::vector<std::unique_ptr<Request>> left;
  {
    platform::LockGuard guard(lock_);
    left.swap(queue_);
  }
  for (auto& request : left) Complete(*request);
}

uint32_t RequestEngine::Send(void* srb) {
  if (srb == nullptr) return SS_INVALID_SRB;
  auto* header = static_cast<SRB_Header*>(srb);
  if (header->SRB_HaId >= adapters_.size()) {
    header->SRB_Status = SS_INVALID_HA;
    return SS_INVALID_HA;
  }
  switch (header->SRB_Cmd) {
    case SC_HA_INQUIRY:
      return Inquire(srb);
    case SC_GET_DEV_TYPE:
      return DeviceType(srb);
    case SC_EXEC_SCSI_CMD:
      return Queue(srb);
    case SC_ABORT_SRB:
      return Abort(srb);
    case SC_RESET_DEV: {
      auto* reset = static_cast<SRB_BusDeviceReset*>(srb);
      reset->SRB_HaStat = HASTAT_OK;
      reset->SRB_TargStat = STATUS_GOOD;
      reset->SRB_Status = SS_COMP;
      return SS_COMP;
    }
    case SC_RESCAN_SCSI_BUS:
      header->SRB_Status = SS_COMP;
      return SS_COMP;
    case SC_GETSET_TIMEOUTS:
      return Timeouts(srb);
    default:
      header->SRB_Status = SS_INVALID_SRB;
      return SS_INVALID_SRB;
  }
}

uint32_t RequestEngine::Inquire(void* srb) {
  auto* inquiry = static_cast<SRB_HAInquiry*>(srb);
  inquiry->HA_Count = static_cast<uint8_t>(adapters_.size());
  inquiry->HA_SCSI_ID = 7;
  std::memcpy(inquiry->HA_ManagerId, MANAGER_ID, sizeof inquiry->HA_ManagerId);
  std::memset(inquiry->HA_Identifier, 0, sizeof inquiry->HA_Identifier);
  const std::string identifier = "ZX Virtual HA #" + std::to_string(inquiry->SRB_HaId);
  std::memcpy(inquiry->HA_Identifier, identifier.data(),
              std::min(identifier.size(), sizeof inquiry->HA_Identifier - 1));
  std::memset(inquiry->HA_Unique, 0, sizeof inquiry->HA_Unique);
  inquiry->HA_Unique[3] = 8;  // targets 0-7
  for (int i = 0; i < 4; ++i) inquiry->HA_Unique[4 + i] = static_cast<uint8_t>(MAX_TRANSFER >> (8 * i));
  inquiry->SRB_Status = SS_COMP;
  return SS_COMP;
}

uint32_t RequestEngine::DeviceType(void* srb) {
  auto* query = static_cast<SRB_GDEVBlock*>(srb);
  if (DeviceAt(query->SRB_HaId, query->SRB_Target, query->SRB_Lun) == nullptr) {
    query->SRB_Status = SS_NO_DEVICE;
    return SS_NO_DEVICE;
  }
  query->SRB_DeviceType = DEVICE_TYPE_CDROM;
  query->SRB_Status = SS_COMP;
  return SS_COMP;
}

uint32_t RequestEngine::Timeouts(void* srb) {
  auto* timeouts = static_cast<SRB_GetSetTimeouts*>(srb);
  platform::LockGuard guard(lock_);
  if (timeouts->SRB_Flags == SRB_DIR_OUT)
    timeoutHalfSeconds_ = timeouts->SRB_Timeout;
  else
    timeouts->SRB_Timeout = timeoutHalfSeconds_;
  timeouts->SRB_Status = SS_COMP;
  return SS_COMP;
}

emulator::ScsiDevice* RequestEngine::DeviceAt(uint8_t haId, uint8_t target, uint8_t lun) const {
  if (haId >= adapters_.size() || lun != 0) return nullptr;
  const AdapterSlot& slot = adapters_[haId];
  return slot.target == target ? slot.device.get() : nullptr;
}

uint32_t RequestEngine::Queue(void* srb) {
  auto* block = static_cast<SRB_ExecSCSICmd*>(srb);
  emulator::ScsiDevice* device = DeviceAt(block->SRB_HaId, block->SRB_Target, block->SRB_Lun);
  if (device == nullptr) {
    block->SRB_Status = SS_NO_DEVICE;
    return SS_NO_DEVICE;
  }
  const bool event = block->SRB_Flags & SRB_EVENT_NOTIFY;
  const bool posting = block->SRB_Flags & SRB_POSTING;
  if (event == posting || block->SRB_CDBLen > sizeof block->CDBByte) {
    block->SRB_Status = SS_INVALID_SRB;
    return SS_INVALID_SRB;
  }
  std::unique_ptr<Request> request = NewRequest();
  request->block = block;
  request->device = device;
  request->flags = block->SRB_Flags;
  request->cdbLen = block->SRB_CDBLen;
  std::memcpy(request->cdb, block->CDBByte, block->SRB_CDBLen);
  request->senseLen = static_cast<uint8_t>(std::min<std::size_t>(block->SRB_SenseLen, SENSE_AREA_LEN));
  request->direction = DirectionOf(block->SRB_Flags);
  request->callerBuffer = block->SRB_BufPointer;
  request->postProc = block->SRB_PostProc;
  request->data.clear();
  if (request->direction != emulator::DataDirection::None && block->SRB_BufLen > 0) {
    if (block->SRB_BufPointer == nullptr) {
      block->SRB_Status = SS_INVALID_SRB;
      return SS_INVALID_SRB;
    }
    const auto* bytes = static_cast<const uint8_t*>(block->SRB_BufPointer);
    if (request->direction == emulator::DataDirection::Out)
      request->data.assign(bytes, bytes + block->SRB_BufLen);
    else
      request->data.assign(block->SRB_BufLen, 0);
  }
  {
    // Pending before the worker can see it: it may complete the block at once.
    platform::LockGuard guard(lock_);
    if (!StartWorker()) {
      block->SRB_Status = SS_ABORTED;  // not queued: nobody would carry it out
      return SS_ABORTED;
    }
    block->SRB_Status = SS_PENDING;
    block->SRB_HaStat = HASTAT_OK;
    block->SRB_TargStat = STATUS_GOOD;
    queue_.push_back(std::move(request));
  }
  wake_.NotifyAll();
  return SS_PENDING;
}

uint32_t RequestEngine::Abort(void* srb) {
  auto* abort = static_cast<SRB_Abort*>(srb);
  platform::LockGuard guard(lock_);
  const void* target = abort->SRB_ToAbort;
  if (target != nullptr && target == current_ && !currentWithdrawn_) {
    currentWithdrawn_ = true;
    abort->SRB_Status = SS_COMP;
    return SS_COMP;
  }
  const auto it = std::find_if(queue_.begin(), queue_.end(),
                               [&](const auto& request) { return request->block == target; });
  if (target == nullptr || it == queue_.end()) {
    abort->SRB_Status = SS_INVALID_SRB;
    return SS_INVALID_SRB;
  }
  queue_.erase(it);
  abort->SRB_Status = SS_COMP;
  return SS_COMP;
}

// The worker starts with the first request, never while the library is
// being loaded (see platform/library_worker.h). Called with the lock held;
// the new thread waits for it before taking any request.
bool RequestEngine::StartWorker() {
  if (worker_ != nullptr) return true;
  try {
    worker_ = std::make_unique<platform::LibraryWorker>([this] { Work(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void RequestEngine::Work() {
  for (;;) {
    std::unique_ptr<Request> request;
    {
      platform::UniqueLock guard(lock_);
      wake_.Wait(guard, [&] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      request = std::move(queue_.front());
      queue_.erase(queue_.begin());
      current_ = request->block;
      currentWithdrawn_ = false;
      // A slow drive: the request counts as being carried out while it waits.
      if (latencyMs_ > 0 &&
          wake_.WaitFor(guard, latencyMs_, [&] { return stop_; })) {
        // Unloading: not sent to the drive; the destructor fails it with the rest.
        if (!currentWithdrawn_) queue_.insert(queue_.begin(), std::move(request));
        current_ = nullptr;
        return;
      }
    }
    emulator::ScsiCommand command;
    command.cdb = request->cdb;
    command.cdbLen = request->cdbLen;
    command.direction = request->direction;
    command.data = request->data.empty() ? nullptr : request->data.data();
    command.dataLen = static_cast<uint32_t>(request->data.size());
    request->reply = emulator::ScsiReply{};
    request->reached = request->device->Execute(command, request->reply);

    platform::UniqueLock guard(lock_);
    const bool withdrawn = currentWithdrawn_;
    current_ = nullptr;
    if (!withdrawn) {
      if (request->flags & SRB_POSTING) {
        guard.Unlock();  // a post routine may send the next request
      }
      Complete(*request);
      if (!guard.OwnsLock()) guard.Lock();
    }
    Recycle(std::move(request));
  }
}

std::unique_ptr<RequestEngine::Request> RequestEngine::NewRequest() {
  {
    platform::LockGuard guard(lock_);
    if (!spares_.empty()) {
      std::unique_ptr<Request> spare = std::move(spares_.back());
      spares_.pop_back();
      return spare;
    }
  }
  return std::make_unique<Request>();
}

void RequestEngine::Recycle(std::unique_ptr<Request> request) {
  if (spares_.size() < MAX_SPARE_REQUESTS) spares_.push_back(std::move(request));
}

// Writes the outcome into the caller's block and notifies the caller.
// Called with the engine's lock held for event requests (so that an abort
// either comes first and withdraws the request, or finds it gone), and
// without it for post routines, which may call back into Send.
void RequestEngine::Complete(Request& request) {
  SRB_ExecSCSICmd& block = *request.block;
  const emulator::ScsiReply& reply = request.reply;
  std::memset(block.SenseArea, 0, request.senseLen);
  if (!request.reached) {
    block.SRB_HaStat = HASTAT_TIMEOUT;
    block.SRB_TargStat = STATUS_BUSY;
    block.SRB_Status = SS_ABORTED;
  } else {
    if (request.direction == emulator::DataDirection::In && !request.data.empty())
      std::memcpy(request.callerBuffer, request.data.data(), request.data.size());
    std::memcpy(block.SenseArea, reply.sense.data(),
                std::min<std::size_t>(request.senseLen, reply.sense.size()));
    if (request.flags & SRB_ENABLE_RESIDUAL_COUNT)
      block.SRB_BufLen -= std::min(block.SRB_BufLen, reply.transferred);
    block.SRB_HaStat = HASTAT_OK;
    block.SRB_TargStat = reply.status;
    block.SRB_Status = reply.status == emulator::SCSI_GOOD ? SS_COMP : SS_ERR;
  }
  if (request.flags & SRB_POSTING)
    reinterpret_cast<PostProcFn>(request.postProc)(request.block);
  else
    signal_(reinterpret_cast<std::uintptr_t>(request.postProc));
}

}  // namespace aspi_module
