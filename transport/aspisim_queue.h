// The simulator's process-wide companions and its request queue.
//
// The companions outlive every simulator on purpose: a worker that was given
// up on may return from its device call after the simulator is gone, and the
// only things it may then touch are the queue lock and the worker
// generation, which tell it that it has no business left.
//
// A worker generation is handed to each worker thread when it is started.
// Only the worker whose generation is live may take, complete or retire a
// request, and it checks that under the queue lock in the same critical
// section in which it touches a caller's block; stopping a worker makes no
// generation live before a new one is started.
// Threads: the companions may be used from any thread; the queue functions
// require the caller to hold Companions().queueLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/lock.h"
#include "transport/aspisim.h"

struct AspiSimCompanions {
  platform::Mutex queueLock;
  std::atomic<ASPISim*> instance{nullptr};
  std::atomic<EventHandle> wakeEvent{NO_EVENT};  // auto-reset, wakes the worker
  std::atomic<int32_t> stopFlag{0};
  // Guarded by queueLock.
  uint64_t liveWorker = 0;  // the generation allowed to complete requests; 0: none
  uint64_t lastWorker = 0;  // the last generation handed out
};

// Never destroyed (see above).
AspiSimCompanions& Companions();

// The queue of the simulator, in arrival order. Caller holds the queue lock.
struct AspiSimQueue {
  // Gives the request its serial number and appends it.
  static uint64_t Append(ASPISim& sim, std::unique_ptr<SptiRequest> request);
  // The newest request for the block.
  static SptiRequest* FindBySrb(ASPISim& sim, const void* srb);
  static SptiRequest* FindBySerial(ASPISim& sim, uint64_t serial);
  static SptiRequest* FirstReady(ASPISim& sim);
  // The request leaves the queue, its record kept as a spare; false when it
  // is no longer there.
  static bool Remove(ASPISim& sim, uint64_t serial);
  // A record for a new request, all fields as fresh; nullptr when no spare is left.
  static std::unique_ptr<SptiRequest> TakeSpare(ASPISim& sim);
  // Frees every request without completing it.
  static void Clear(ASPISim& sim);
  static uint32_t Count(const ASPISim& sim) { return sim.queueCount_; }
  // The request taken by the worker and not yet retired.
  static void SetInWork(ASPISim& sim, uint64_t serial) { sim.inWorkSerial_ = serial; }
  static uint64_t InWork(const ASPISim& sim) { return sim.inWorkSerial_; }
};
