// A seeded random stream of request blocks into a SendASPI32Command: random
// command codes, flags, adapter numbers, targets, CDB and sense lengths up to
// 255, plausible and implausible CDBs, aborts of blocks that are queued, were
// never queued or have completed. Only real memory is handed over: every
// block, data buffer, event and post routine exists, and no data length
// exceeds its buffer. Each answer is checked against srb_answers.h, each
// block and buffer is followed by guard bytes that must stay untouched, and
// each accepted execute request must complete exactly once (or, aborted, never
// again be touched).
// Threads: one fuzzer per thread; several may share one simulator, as long as
// only one of them owns the time-out (the others never send
// SC_GETSET_TIMEOUTS).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/event.h"
#include "tests/reliability/srb_answers.h"
#include "transport/srb.h"

namespace reliability {

struct FuzzTally {
  uint64_t blocks = 0;
  uint64_t executesQueued = 0;   // accepted as pending
  uint64_t executesRefused = 0;  // answered at once
  uint64_t completedGood = 0;
  uint64_t completedError = 0;
  uint64_t completedAborted = 0;  // the pass-through failed
  uint64_t abortsOfQueued = 0;    // aborts of a request still queued or in work
  uint64_t abortsRefused = 0;     // never queued, completed, or not an execute block
  // Of a completed request whose entry was still on its way out of the queue.
  uint64_t abortsAfterCompletion = 0;
  uint64_t adapterRequests = 0;  // inquiry, device type, reset, rescan, time-outs
  uint64_t invalidCodes = 0;
  uint64_t invalidAdapters = 0;
  void Add(const FuzzTally& other);
  std::string Summary() const;
};

struct FuzzSettings {
  uint32_t seed = 1;
  bool ownsTimeout = false;
  // Of every 10,000 blocks, how many abort a request that is still queued
  // (each costs the simulator a worker restart).
  uint32_t queuedAbortsPer10000 = 50;
  // Called now and then with the fuzzer's random source: to make the devices
  // misbehave for a while.
  std::function<void(std::mt19937&)> chaos;
};

class SrbFuzzer {
 public:
  SrbFuzzer(SendASPI32CommandFn send, std::vector<FuzzAdapter> adapters, FuzzSettings settings);
  ~SrbFuzzer();
  SrbFuzzer(const SrbFuzzer&) = delete;
  SrbFuzzer& operator=(const SrbFuzzer&) = delete;

  // Sends `blocks` blocks, then waits for every request still pending.
  // Stops early after a few failures.
  void Run(uint64_t blocks);
  const FuzzTally& Tally() const { return tally_; }

  struct ExecSlot;

 private:
  void Step();
  void Execute(ExecSlot& slot);
  void Abort();
  void AbortQueued(ExecSlot& slot, uint8_t haId);
  void AdapterRequest();
  void Settle(ExecSlot& slot);
  bool AwaitCompletion(ExecSlot& slot, uint32_t ms);
  void CheckCompletion(ExecSlot& slot);
  void FillExecute(ExecSlot& slot);
  void FillPlausibleCdb(ExecSlot& slot);
  ExecSlot* PendingSlot();
  uint8_t AdapterNumber();
  uint8_t CommandCode();
  uint8_t Byte();
  bool Chance(uint32_t percent);
  void Fail(const std::string& what);

  SendASPI32CommandFn send_;
  std::vector<FuzzAdapter> adapters_;
  FuzzSettings settings_;
  std::mt19937 random_;
  std::vector<std::unique_ptr<ExecSlot>> slots_;
  uint32_t timeoutSeconds_ = INITIAL_TIMEOUT_S;
  FuzzTally tally_;
  int failures_ = 0;
};

}  // namespace reliability
