#include "transport/execute.h"

#include <algorithm>
#include <cstring>

#include "platform/thread.h"
#include "transport/command_trace.h"

namespace {

// A command's wait is made of slices of at most this length ...
constexpr uint32_t WAIT_SLICE_MS = 500;
// ... and a slice that ran this much longer than asked for was spent mostly
// with the process stopped.
constexpr uint32_t STOPPED_PAST_MS = 1000;
// A machine so loaded that every slice overruns that much looks stopped all
// the time; the slices granted past the wait are bounded, so such a wait
// still ends (within its own length plus these slices and their overruns).
constexpr uint32_t EXTRA_SLICES_MAX = 3;

// Waits until `waitMs` of waiting have passed while the process ran. The
// waits are for a drive that does not answer; a process that was stopped
// (Ctrl+Z, SIGSTOP, a debugger, a frozen cgroup) did not wait meanwhile,
// and the answer that came during the stop must still be taken. So each
// slice counts the time it took, but never more than its own length; and a
// wait does not run out on a slice that overran by far, since the thread
// that delivers the answer was stopped too and needs a moment after the
// continue. A slice counts at most what it really took: no wait is shorter
// than asked for, and none grants more than EXTRA_SLICES_MAX slices past it.
WaitResult WaitWhileRunning(EventService& events, EventHandle event, uint32_t waitMs) {
  if (waitMs == WAIT_INFINITE) return events.WaitForSingleObject(event, waitMs);
  uint32_t left = waitMs;
  uint32_t extraSlices = 0;
  for (;;) {
    const uint32_t slice = std::min(left, WAIT_SLICE_MS);
    const uint32_t start = platform::TickMs();
    const WaitResult result = events.WaitForSingleObject(event, slice);
    if (result != WaitResult::TimedOut) return result;
    const uint32_t took = platform::TickMs() - start;
    left -= std::min(took, slice);
    if (left > 0) continue;
    if (took <= slice + STOPPED_PAST_MS || extraSlices++ == EXTRA_SLICES_MAX) return WaitResult::TimedOut;
    left = std::min(waitMs, WAIT_SLICE_MS);
  }
}

void AbortRequest(SendASPI32CommandFn send, SRB_ExecSCSICmd& block) {
  SRB_Abort abort{};
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_HaId = block.SRB_HaId;
  abort.SRB_ToAbort = &block;
  send(&abort);
}

}  // namespace

ExecResult ExecuteScsiCommand(const AspiEntryPoints& aspi, EventService& events, SRB_ExecSCSICmd& block,
                              const ExecRequest& request, uint32_t waitMs) {
  const EventHandle event = events.CreateEvent();
  if (event == NO_EVENT) return ExecResult::NoEvent;
  events.ResetEvent(event);

  std::memset(&block, 0, sizeof block);
  block.SRB_Cmd = SC_EXEC_SCSI_CMD;
  block.SRB_HaId = request.haId;
  block.SRB_Target = request.target;
  block.SRB_Flags = request.flags;
  block.SRB_BufLen = request.bufLen;
  block.SRB_BufPointer = request.buffer;
  block.SRB_SenseLen = EXEC_SENSE_LEN;
  block.SRB_CDBLen = request.cdbLen;
  block.SRB_PostProc = reinterpret_cast<void*>(event);
  std::memcpy(block.CDBByte, request.cdb.data(), request.cdb.size());

  // An emptied entry point (library unloaded) must never be called through.
  const SendASPI32CommandFn send = aspi.SendASPI32Command.load();
  const uint32_t startMs = platform::TickMs();
  bool waitRanOut = false;
  if (send == nullptr) {
    block.SRB_Status = SS_INVALID_HA;
  } else if (send(&block) == SS_PENDING) {
    // After a wait that ran out the block is the back-end's until the abort
    // returns; only then may it be read.
    waitRanOut = WaitWhileRunning(events, event, waitMs) != WaitResult::Signalled;
    if (waitRanOut) AbortRequest(send, block);
  }
  const uint8_t status = block.SRB_Status;
  events.CloseHandle(event);
  // Recorded only now that the block is the caller's again.
  if (CommandTrace* trace = InstalledCommandTrace(); trace != nullptr && send != nullptr)
    trace->Command(block, startMs, platform::TickMs() - startMs, waitRanOut);
  // A back-end may finish the request while the abort stops it, leaving
  // SS_COMP behind; the command still missed its wait, and whether it
  // counts must not hang on how fast the abort was.
  return status == SS_COMP && !waitRanOut ? ExecResult::Completed : ExecResult::NotCompleted;
}
