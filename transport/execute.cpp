#include "transport/execute.h"

#include <cstring>

namespace {

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
  bool waitRanOut = false;
  if (send == nullptr) {
    block.SRB_Status = SS_INVALID_HA;
  } else if (send(&block) == SS_PENDING) {
    // After a wait that ran out the block is the back-end's until the abort
    // returns; only then may it be read.
    waitRanOut = events.WaitForSingleObject(event, waitMs) != WaitResult::Signalled;
    if (waitRanOut) AbortRequest(send, block);
  }
  const uint8_t status = block.SRB_Status;
  events.CloseHandle(event);
  // A back-end may finish the request while the abort stops it, leaving
  // SS_COMP behind; the command still missed its wait, and whether it
  // counts must not hang on how fast the abort was.
  return status == SS_COMP && !waitRanOut ? ExecResult::Completed : ExecResult::NotCompleted;
}
