// The simulator's worker thread: it takes ready requests in arrival order,
// carries each out with the pass-through control and completes its block.
// Also starting and stopping that thread.
#include <cstring>
#include <new>
#include <vector>

#include "transport/aspisim.h"
#include "transport/aspisim_queue.h"
#include "transport/spti_block.h"
#include "transport/stop_polls.h"

namespace {

constexpr int START_ATTEMPTS = 10;
constexpr int PASS_THROUGH_ATTEMPTS = 10;
constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFF;

// What the worker carries out of the lock for one request. The device call
// works on this copy of the block, never on the queued request, so an abort
// or teardown may free the request while a given-up call still runs.
// Data from the device lands in the worker's own bounce buffer and reaches
// the caller's buffer only under the queue lock, while the request is still
// this worker's: a call that returns after its worker was given up on writes
// into memory nobody else reads.
struct TakenRequest {
  uint64_t serial = 0;
  platform::DeviceHandle device = platform::INVALID_HANDLE_VALUE;
  platform::SptdBlock block{};
  uint8_t* callerData = nullptr;  // the caller's buffer of a data-in request; else nullptr
  uint32_t callerLength = 0;
};

// The worker's bounce buffer, kept between requests so that a run does not
// allocate per command. One per worker thread.
using Bounce = std::vector<uint8_t>;

bool ReadsData(const platform::SptdBlock& block) {
  return block.sptd.DataIn == platform::SCSI_IOCTL_DATA_IN && block.sptd.DataTransferLength > 0 &&
         block.sptd.DataBuffer != nullptr;
}

// Points a data-in block at the bounce buffer, filled from the caller's
// buffer so that bytes the device does not write stay as they were. Runs
// under the queue lock. False when no buffer of that size can be had.
bool UseBounce(TakenRequest& taken, Bounce& bounce) {
  if (!ReadsData(taken.block)) return true;
  const uint32_t length = taken.block.sptd.DataTransferLength;
  try {
    if (bounce.size() < length) bounce.resize(length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  taken.callerData = static_cast<uint8_t*>(taken.block.sptd.DataBuffer);
  taken.callerLength = length;
  std::memcpy(bounce.data(), taken.callerData, length);
  taken.block.sptd.DataBuffer = bounce.data();
  return true;
}

// How to tell the caller, captured while the block was still ours.
struct Notice {
  bool posting = false;
  void* postProc = nullptr;
  SRB_ExecSCSICmd* srb = nullptr;

  void Deliver(EventService& events) const {
    if (posting) {
      if (postProc != nullptr) reinterpret_cast<PostProcFn>(postProc)(srb);
    } else {
      events.SetEvent(reinterpret_cast<EventHandle>(postProc));
    }
  }
};

enum class Take { Got, NoneReady, GivenUp, NoBuffer };

bool IsLive(uint64_t generation) {
  AspiSimCompanions& companions = Companions();
  platform::LockGuard guard(companions.queueLock);
  return companions.liveWorker == generation;
}

// Marks the first ready request as taken and zeroes the sense bytes it will
// fill. A worker being stopped takes nothing more: what is queued meanwhile
// waits for the next worker instead of being dropped with this one.
Take TakeFirstReady(uint64_t generation, TakenRequest& taken, Bounce& bounce) {
  AspiSimCompanions& companions = Companions();
  platform::LockGuard guard(companions.queueLock);
  ASPISim* const sim = companions.instance.load();
  if (companions.liveWorker != generation || sim == nullptr || companions.stopFlag.load() != 0)
    return Take::GivenUp;
  SptiRequest* const request = AspiSimQueue::FirstReady(*sim);
  if (request == nullptr) return Take::NoneReady;
  request->ready = 0;
  AspiSimQueue::SetInWork(*sim, request->serial);
  std::memset(request->srb->SenseArea, 0, SenseBytesToCopy(request->block));
  taken.serial = request->serial;
  taken.device = request->adapter->device.get();
  taken.block = request->block;
  return UseBounce(taken, bounce) ? Take::Got : Take::NoBuffer;
}

// Up to 10 attempts, 1 ms apart, each from the block as queued, but only
// while the device layer says the command never left the machine: once it
// may have reached the drive, its outcome is final, so a program or erase
// command is never carried out twice. A worker given up on sends nothing more.
bool ExecutePassThrough(platform::DeviceLayer& devices, uint64_t generation, TakenRequest& taken) {
  const platform::SptdBlock queued = taken.block;
  for (int attempt = 0; attempt < PASS_THROUGH_ATTEMPTS; ++attempt) {
    // Taking the request checked it for the first attempt.
    if (attempt > 0 && !IsLive(generation)) return false;
    taken.block = queued;
    switch (devices.SendPassThrough(taken.device, taken.block)) {
      case platform::PassThroughResult::Done:
        return true;
      case platform::PassThroughResult::Failed:
        return false;
      case platform::PassThroughResult::NotSent:
        break;
    }
    devices.Sleep(1);
  }
  return false;
}

void WriteOutcome(SRB_ExecSCSICmd& srb, const platform::SptdBlock& block, bool passed) {
  if (!passed) {
    srb.SRB_Status = SS_ABORTED;
    srb.SRB_HaStat = HASTAT_TIMEOUT;
    srb.SRB_TargStat = STATUS_BUSY;
    return;  // the sense bytes stay zeroed
  }
  // Any nonzero SCSI status is reported as CHECK CONDITION.
  const bool good = block.sptd.ScsiStatus == STATUS_GOOD;
  srb.SRB_Status = good ? SS_COMP : SS_ERR;
  srb.SRB_HaStat = HASTAT_OK;
  srb.SRB_TargStat = good ? STATUS_GOOD : STATUS_CHKCOND;
  std::memcpy(srb.SenseArea, block.SenseBuf, SenseBytesToCopy(block));
  if ((srb.SRB_Flags & SRB_ENABLE_RESIDUAL_COUNT) != 0) srb.SRB_BufLen = 0;
}

// False when this worker has been given up on: the block is not touched.
bool Complete(uint64_t generation, const TakenRequest& taken, bool passed, Notice& notice) {
  AspiSimCompanions& companions = Companions();
  platform::LockGuard guard(companions.queueLock);
  ASPISim* const sim = companions.instance.load();
  if (companions.liveWorker != generation || sim == nullptr) return false;
  SptiRequest* const request = AspiSimQueue::FindBySerial(*sim, taken.serial);
  if (request == nullptr) return true;  // no longer ours to complete
  request->block = taken.block;
  SRB_ExecSCSICmd& srb = *request->srb;
  if (passed && taken.callerData != nullptr) {
    std::memcpy(taken.callerData, taken.block.sptd.DataBuffer, taken.callerLength);
    request->block.sptd.DataBuffer = taken.callerData;
  }
  WriteOutcome(srb, taken.block, passed);
  notice = Notice{(srb.SRB_Flags & SRB_POSTING) != 0, srb.SRB_PostProc, &srb};
  return true;
}

bool Retire(uint64_t generation, uint64_t serial) {
  AspiSimCompanions& companions = Companions();
  platform::LockGuard guard(companions.queueLock);
  ASPISim* const sim = companions.instance.load();
  if (companions.liveWorker != generation || sim == nullptr) return false;
  AspiSimQueue::Remove(*sim, serial);
  AspiSimQueue::SetInWork(*sim, 0);
  return true;
}

// Serves every ready request; false once this worker has been given up on.
bool ServeReady(uint64_t generation, platform::DeviceLayer& devices, EventService& events, Bounce& bounce) {
  for (;;) {
    TakenRequest taken;
    bool sendable = true;
    switch (TakeFirstReady(generation, taken, bounce)) {
      case Take::GivenUp:
        return false;
      case Take::NoneReady:
        return true;
      case Take::NoBuffer:
        sendable = false;  // nothing sent: completes as a failed pass-through
        break;
      case Take::Got:
        break;
    }
    const bool passed = sendable && ExecutePassThrough(devices, generation, taken);
    Notice notice;
    if (!Complete(generation, taken, passed, notice)) return false;
    if (notice.srb != nullptr) notice.Deliver(events);
    if (!Retire(generation, taken.serial)) return false;
  }
}

}  // namespace

void ASPISim::WorkerProc(uint64_t generation, platform::DeviceLayer* devices, EventService* events,
                         EventHandle wake) {
  // Serving before the first wait picks up requests that arrived while a
  // previous worker was being stopped: their wake-up went to that worker.
  Bounce bounce;
  for (;;) {
    if (!ServeReady(generation, *devices, *events, bounce)) return;
    if (events->WaitForSingleObject(wake, WAIT_FOREVER) == WaitResult::Failed) return;
    if (Companions().stopFlag.load() != 0) return;
  }
}

std::unique_ptr<platform::OsThread> ASPISim::StartWorker() {
  AspiSimCompanions& companions = Companions();
  const EventHandle wake = companions.wakeEvent.load();
  for (int attempt = 0; attempt < START_ATTEMPTS; ++attempt) {
    uint64_t generation;
    {
      platform::LockGuard guard(companions.queueLock);
      generation = ++companions.lastWorker;
      companions.liveWorker = generation;
    }
    auto thread = startThread_([generation, devices = &devices_, events = &events_,
                                wake] { WorkerProc(generation, devices, events, wake); },
                               platform::ThreadPriority::AboveNormal);
    if (thread) return thread;
    {
      platform::LockGuard guard(companions.queueLock);
      if (companions.liveWorker == generation) companions.liveWorker = 0;
    }
    platform::SleepMs(1);
  }
  return nullptr;
}

void ASPISim::StopWorker(bool sleepBetweenPolls) {
  AspiSimCompanions& companions = Companions();
  companions.stopFlag.store(1);
  events_.SetEvent(companions.wakeEvent.load());
  StopPolls limits;
  limits.sleepBetween = sleepBetweenPolls;
  platform::OsThread* worker = worker_.get();
  const bool ended = worker == nullptr ||
                     PollUntilEnded(limits, {[worker](uint32_t ms) { return worker->Join(ms); },
                                             &platform::SleepMs, &platform::TickMs});
  {
    // From here on the old worker, should it still run, completes nothing.
    // What it was carrying will never complete, so it leaves the queue: a
    // later request for the same block must not be mistaken for it.
    platform::LockGuard guard(companions.queueLock);
    companions.liveWorker = 0;
    AspiSimQueue::Remove(*this, AspiSimQueue::InWork(*this));
    AspiSimQueue::SetInWork(*this, 0);
  }
  if (!ended) worker_->Abandon();
  worker_.reset();
}
