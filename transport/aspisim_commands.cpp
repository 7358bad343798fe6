// The simulator's SendASPI32Command: adapter questions answered at once,
// execute requests queued for the worker, abort, reset, rescan and time-outs.
#include <cstdio>
#include <cstring>

#include "transport/aspisim.h"
#include "transport/aspisim_queue.h"
#include "transport/spti_block.h"

namespace {

constexpr uint8_t ADAPTER_SCSI_ID = 7;
constexpr char MANAGER_ID[] = "ASPISim for SPTI";  // all 16 bytes, no terminating zero
constexpr uint32_t MAX_REPORTED_TRANSFER = 65536;
constexpr uint32_t ABORT_SETTLE_MS = 10;
constexpr uint8_t MAX_CDB_LEN = 16;

static_assert(sizeof MANAGER_ID - 1 == sizeof SRB_HAInquiry::HA_ManagerId);

// Header fields read and written through bytes: the block may be any of the
// request layouts, each of which starts with the same header.
constexpr std::size_t CMD_AT = offsetof(SRB_Header, SRB_Cmd);
constexpr std::size_t STATUS_AT = offsetof(SRB_Header, SRB_Status);
constexpr std::size_t HA_ID_AT = offsetof(SRB_Header, SRB_HaId);

uint32_t Finish(uint8_t& status, uint8_t value, uint32_t returned) {
  status = value;
  return returned;
}

}  // namespace

uint32_t ASPISim::SendASPI32Command(void* srb) {
  if (srb == nullptr) return SS_INVALID_SRB;
  auto* const bytes = static_cast<uint8_t*>(srb);
  ASPISim* const sim = Instance();
  if (sim == nullptr || !sim->Active() || bytes[HA_ID_AT] >= sim->AdapterCount())
    return Finish(bytes[STATUS_AT], SS_INVALID_HA, SS_INVALID_HA);
  return sim->Dispatch(srb);
}

uint32_t ASPISim::Dispatch(void* srb) {
  auto* const bytes = static_cast<uint8_t*>(srb);
  switch (bytes[CMD_AT]) {
    case SC_HA_INQUIRY:
      return HostAdapterInquiry(*static_cast<SRB_HAInquiry*>(srb));
    case SC_GET_DEV_TYPE:
      return GetDeviceType(*static_cast<SRB_GDEVBlock*>(srb));
    case SC_EXEC_SCSI_CMD:
      return QueueExecute(*static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_ABORT_SRB:
      return AbortRequest(*static_cast<SRB_Abort*>(srb));
    case SC_RESET_DEV: {
      // Nothing reaches the device.
      auto& reset = *static_cast<SRB_BusDeviceReset*>(srb);
      reset.SRB_HaStat = HASTAT_OK;
      reset.SRB_TargStat = STATUS_GOOD;
      return Finish(reset.SRB_Status, SS_COMP, 0);
    }
    case SC_RESCAN_SCSI_BUS:
      return 1;  // the adapter table stays as discovery built it; the status as given
    case SC_GETSET_TIMEOUTS:
      return GetSetTimeouts(*static_cast<SRB_GetSetTimeouts*>(srb));
    default:
      return Finish(bytes[STATUS_AT], SS_INVALID_SRB, 1);
  }
}

uint32_t ASPISim::HostAdapterInquiry(SRB_HAInquiry& srb) {
  srb.HA_Count = static_cast<uint8_t>(AdapterCount());
  srb.HA_SCSI_ID = ADAPTER_SCSI_ID;
  std::memcpy(srb.HA_ManagerId, MANAGER_ID, sizeof srb.HA_ManagerId);
  char identifier[sizeof srb.HA_Identifier + 1] = {};
  std::snprintf(identifier, sizeof identifier, "ASPISim HA #%d", srb.SRB_HaId);
  std::memcpy(srb.HA_Identifier, identifier, sizeof srb.HA_Identifier);

  uint32_t maxTransfer;
  uint32_t alignment;
  {
    // The cap is written back into the adapter record; the lock keeps two
    // inquiring threads from racing on it.
    platform::LockGuard guard(Companions().queueLock);
    platform::IO_SCSI_CAPABILITIES& caps = table_[srb.SRB_HaId]->capabilities;
    if (caps.MaximumTransferLength > MAX_REPORTED_TRANSFER)
      caps.MaximumTransferLength = MAX_REPORTED_TRANSFER;
    maxTransfer = caps.MaximumTransferLength;
    alignment = caps.AlignmentMask;
  }
  std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
  srb.HA_Unique[0] = static_cast<uint8_t>(alignment);
  srb.HA_Unique[1] = static_cast<uint8_t>(alignment >> 8);
  srb.HA_Unique[2] = 0;  // residual count not reported
  srb.HA_Unique[3] = 1;  // one target
  for (int i = 0; i < 4; ++i) srb.HA_Unique[4 + i] = static_cast<uint8_t>(maxTransfer >> (8 * i));
  return Finish(srb.SRB_Status, SS_COMP, 1);
}

uint32_t ASPISim::GetDeviceType(SRB_GDEVBlock& srb) {
  if (srb.SRB_Target != 0 || srb.SRB_Lun != 0) return Finish(srb.SRB_Status, SS_NO_DEVICE, SS_NO_DEVICE);
  srb.SRB_DeviceType = table_[srb.SRB_HaId]->deviceType;
  return Finish(srb.SRB_Status, SS_COMP, 1);
}

uint32_t ASPISim::QueueExecute(SRB_ExecSCSICmd& srb) {
  if (srb.SRB_Target != 0 || srb.SRB_Lun != 0) return Finish(srb.SRB_Status, SS_NO_DEVICE, SS_NO_DEVICE);
  const bool event = (srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0;
  const bool posting = (srb.SRB_Flags & SRB_POSTING) != 0;
  if (event == posting) return Finish(srb.SRB_Status, SS_INVALID_SRB, SS_PENDING);
  // A CDB longer than its 16-byte field cannot be sent as given.
  if (srb.SRB_CDBLen > MAX_CDB_LEN) return Finish(srb.SRB_Status, SS_INVALID_SRB, SS_INVALID_SRB);

  AspiSimCompanions& companions = Companions();
  std::unique_ptr<SptiRequest> request;
  {
    platform::LockGuard guard(companions.queueLock);
    request = AspiSimQueue::TakeSpare(*this);
  }
  if (request == nullptr) request = std::make_unique<SptiRequest>();
  request->adapter = table_[srb.SRB_HaId];
  request->ready = 1;
  request->srb = &srb;
  request->block = BuildExecuteBlock(srb, timeoutSeconds_.load());
  // Pending before the request is queued: from then on the worker may complete the block.
  srb.SRB_Status = SS_PENDING;
  srb.SRB_HaStat = HASTAT_OK;
  srb.SRB_TargStat = STATUS_GOOD;
  {
    platform::LockGuard guard(companions.queueLock);
    AspiSimQueue::Append(*this, std::move(request));
  }
  events_.SetEvent(companions.wakeEvent.load());
  return SS_PENDING;
}

uint32_t ASPISim::AbortRequest(SRB_Abort& srb) {
  AspiSimCompanions& companions = Companions();
  platform::LockGuard workerGuard(workerLock_);
  uint64_t serial = 0;
  {
    platform::LockGuard guard(companions.queueLock);
    if (const SptiRequest* found = AspiSimQueue::FindBySrb(*this, srb.SRB_ToAbort)) serial = found->serial;
  }
  if (serial == 0) return Finish(srb.SRB_Status, SS_INVALID_SRB, SS_INVALID_SRB);

  StopWorker(false);
  {
    // Out of the queue before a new worker could take it; the block stays
    // pending and nobody is notified.
    platform::LockGuard guard(companions.queueLock);
    AspiSimQueue::Remove(*this, serial);
  }
  platform::SleepMs(ABORT_SETTLE_MS);
  companions.stopFlag.store(0);
  worker_ = StartWorker();
  return Finish(srb.SRB_Status, SS_COMP, SS_COMP);
}

uint32_t ASPISim::GetSetTimeouts(SRB_GetSetTimeouts& srb) {
  // Exactly "out" sets; every other flags value reads. Half-seconds outside.
  if (srb.SRB_Flags == SRB_DIR_OUT)
    timeoutSeconds_.store(srb.SRB_Timeout / 2);
  else
    srb.SRB_Timeout = timeoutSeconds_.load() * 2;
  return Finish(srb.SRB_Status, SS_COMP, 1);
}
