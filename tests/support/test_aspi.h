// An ASPI back-end for tests over devices that stand in for drives, mapped by
// (host adapter, target). Execute requests complete asynchronously, as on a
// real back-end: SendASPI32Command returns SS_PENDING and one worker thread
// carries the requests out in arrival order, writes SRB_Status (SS_COMP for
// GOOD, SS_ERR with the target status otherwise, SS_ABORTED when the device
// could not be reached), copies up to SRB_SenseLen sense bytes (at most the 20
// of the sense area), then signals the event through SystemEvents() or calls
// the post routine.
//
// SC_ABORT_SRB: a queued request is removed; a request the device is working
// on is waited for and its completion dropped. Either way, once the abort has
// returned the harness never touches that block (nor its event) again.
// Unmapped (adapter, target) or a LUN other than 0: SS_NO_DEVICE at once.
//
// The entry points are plain functions, so they reach the harness through a
// process-wide pointer: constructing a TestAspi installs it, destroying it
// uninstalls it; only one exists at a time. A device that may still be
// blocked (a held command) must be released before the harness is destroyed.
// Threads: the entry points from any thread; the rest from the test's thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "emulator/scsi_device.h"
#include "platform/lock.h"
#include "tests/support/test_thread.h"
#include "transport/srb.h"

namespace fakes {

class TestAspi {
 public:
  TestAspi();
  ~TestAspi();
  TestAspi(const TestAspi&) = delete;
  TestAspi& operator=(const TestAspi&) = delete;

  // `device` must outlive the harness.
  void Attach(uint8_t adapter, uint8_t target, emulator::ScsiDevice& device);
  void SetSupportInfo(uint32_t word);
  // Points both entry points at the harness.
  static void InstallInto(AspiEntryPoints& aspi);

  static uint32_t GetASPI32SupportInfo();
  static uint32_t SendASPI32Command(void* srb);

  // Each accepted execute block as it was handed over.
  std::vector<SRB_ExecSCSICmd> Submitted() const;
  // Completions that an abort made the harness drop.
  uint32_t DroppedCompletions() const;
  // Completions whose event no longer existed when they were signalled.
  uint32_t FailedSignals() const;
  // Waits until no request is queued or in work; false after `ms` without.
  bool WaitIdle(uint32_t ms) const;

 private:
  struct Request {
    SRB_ExecSCSICmd* block = nullptr;
    emulator::ScsiDevice* device = nullptr;
  };

  uint32_t Submit(SRB_ExecSCSICmd& block);
  uint32_t Abort(SRB_Abort& abort);
  void Work();
  void Complete(const Request& request, bool delivered, const emulator::ScsiReply& reply);

  mutable platform::Mutex lock_;
  mutable platform::ConditionVariable changed_;
  std::map<std::pair<uint8_t, uint8_t>, emulator::ScsiDevice*> devices_;
  std::deque<Request> queue_;
  SRB_ExecSCSICmd* inWork_ = nullptr;
  bool inWorkAborted_ = false;
  bool stopping_ = false;
  uint32_t supportInfo_ = 0x0101;
  std::vector<SRB_ExecSCSICmd> submitted_;
  uint32_t dropped_ = 0;
  uint32_t failedSignals_ = 0;
  zx_test::TestThread worker_;
};

}  // namespace fakes
