// The execute protocol that every drive command follows: event, zeroed
// block, fill, send, wait only when the back-end took the request as
// pending, status test, close.
//
// "Delivered" and "the drive said GOOD" are kept apart: only SS_COMP in the
// block after the wait counts as completion; everything else, including a
// wait that ran out, is NotCompleted, and the block's sense area says what
// the back-end reported.
//
// A request whose wait ran out is aborted (SC_ABORT_SRB) before its block is
// read or its event closed. Every back-end guarantees that once an abort has
// returned it never touches that block again, so a late completion cannot
// land in a block that the next command of the same kind is already using.
// The event handle also stays harmless after closing (platform/event.h).
// Threads: any; one call per block at a time.
#pragma once

#include <array>
#include <cstdint>

#include "platform/event.h"
#include "transport/srb.h"

enum class ExecResult : uint8_t {
  Completed = 0,     // SRB_Status is SS_COMP
  NotCompleted = 1,  // any other status after the wait
  NoEvent = 2,       // no completion event could be made: nothing was sent
};

struct ExecRequest {
  uint8_t haId = 0;
  uint8_t target = 0;
  uint8_t flags = 0;  // SRB_EVENT_NOTIFY with SRB_DIR_IN / SRB_DIR_OUT as needed
  uint32_t bufLen = 0;
  void* buffer = nullptr;
  uint8_t cdbLen = 0;
  std::array<uint8_t, 16> cdb{};
};

inline constexpr uint8_t EXEC_SENSE_LEN = 16;

// `block` must outlive any late completion: callers pass blocks in static storage.
// `waitMs` counts only time the process was running: a command whose answer
// comes while the whole process is stopped past its wait is still judged by
// the answer; no wait ends sooner than `waitMs`.
ExecResult ExecuteScsiCommand(const AspiEntryPoints& aspi, EventService& events, SRB_ExecSCSICmd& block,
                              const ExecRequest& request, uint32_t waitMs);
