// The request side of the virtual ASPI library: answers adapter questions at
// once and carries execute requests out on its own worker thread, one at a
// time in arrival order, against the drives it was given. The worker starts
// with the first execute request.
//
// A request's data is copied in when it is sent and copied back when it
// completes, so between those points the engine touches neither the
// caller's block nor its buffer. Completion writes the block and then
// signals the caller's event (through MODULE_SET_EVENT) or calls
// its post routine. An abort of a request that is queued or being carried
// out withdraws it: the block keeps SS_PENDING and, once the abort has
// returned, is never touched again, even if the drive finishes the command
// afterwards.
// Threads: Send may be called from any thread; construction and destruction
// belong to the thread that loads and unloads the library.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "emulator/scsi_device.h"
#include "platform/library_worker.h"
#include "platform/lock.h"

namespace aspi_module {

// Signals the caller's event (MODULE_SET_EVENT of platform/event.h); 1 on success.
using SignalEventFn = int (*)(std::uintptr_t handle);

struct AdapterSlot {
  uint8_t target = 0;
  std::unique_ptr<emulator::ScsiDevice> device;  // nullptr: no drive on this adapter
};

class RequestEngine {
 public:
  RequestEngine(std::vector<AdapterSlot> adapters, uint32_t latencyMs, SignalEventFn signal);
  // Lets the request in progress finish, then fails every request still
  // queued with SS_ABORTED and notifies it, so no caller waits for nothing.
  ~RequestEngine();
  RequestEngine(const RequestEngine&) = delete;
  RequestEngine& operator=(const RequestEngine&) = delete;

  // SendASPI32Command: the block's status; SS_PENDING for a queued execute request.
  uint32_t Send(void* srb);

  struct Request;

 private:
  uint32_t Inquire(void* srb);
  uint32_t DeviceType(void* srb);
  uint32_t Queue(void* srb);
  uint32_t Abort(void* srb);
  uint32_t Timeouts(void* srb);
  emulator::ScsiDevice* DeviceAt(uint8_t haId, uint8_t target, uint8_t lun) const;
  bool StartWorker();
  void Work();
  void Complete(Request& request);
  // A record for a new request: a spare one if there is, so that a warm
  // engine carries commands out without heap memory. Lock not held.
  std::unique_ptr<Request> NewRequest();
  // Keeps a finished request's record (and its data's capacity) for the next. Lock held.
  void Recycle(std::unique_ptr<Request> request);

  const std::vector<AdapterSlot> adapters_;
  const uint32_t latencyMs_;
  const SignalEventFn signal_;

  platform::Mutex lock_;
  platform::ConditionVariable wake_;
  // In arrival order; a vector keeps its capacity, where a deque would
  // allocate a chunk every so many requests.
  std::vector<std::unique_ptr<Request>> queue_;
  std::vector<std::unique_ptr<Request>> spares_;
  const void* current_ = nullptr;  // block of the request being carried out
  bool currentWithdrawn_ = false;
  bool stop_ = false;
  uint32_t timeoutHalfSeconds_ = 0;
  std::unique_ptr<platform::LibraryWorker> worker_;
};

}  // namespace aspi_module
