#include "tests/support/test_aspi.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "platform/event.h"
#include "platform/lock.h"
#include "tests/support/test_thread.h"

namespace fakes {

namespace {

std::atomic<TestAspi*> installed{nullptr};

emulator::ScsiCommand CommandFrom(SRB_ExecSCSICmd& block) {
  emulator::ScsiCommand command;
  command.cdb = block.CDBByte;
  command.cdbLen = block.SRB_CDBLen;
  if (block.SRB_Flags & SRB_DIR_IN) command.direction = emulator::DataDirection::In;
  if (block.SRB_Flags & SRB_DIR_OUT) command.direction = emulator::DataDirection::Out;
  command.data = static_cast<uint8_t*>(block.SRB_BufPointer);
  command.dataLen = block.SRB_BufLen;
  return command;
}

bool ValidExecuteBlock(const SRB_ExecSCSICmd& block) {
  const bool posting = block.SRB_Flags & SRB_POSTING;
  const bool event = block.SRB_Flags & SRB_EVENT_NOTIFY;
  const bool bothDirections = (block.SRB_Flags & SRB_DIR_IN) && (block.SRB_Flags & SRB_DIR_OUT);
  return posting != event && !bothDirections && block.SRB_CDBLen <= sizeof block.CDBByte;
}

}  // namespace

TestAspi::TestAspi() {
  TestAspi* expected = nullptr;
  if (!installed.compare_exchange_strong(expected, this))
    throw std::logic_error("a TestAspi is installed already");
  worker_ = zx_test::TestThread([this] { Work(); });
}

TestAspi::~TestAspi() {
  {
    platform::LockGuard guard(lock_);
    stopping_ = true;
    changed_.NotifyAll();
  }
  worker_.join();
  installed.store(nullptr);
}

void TestAspi::Attach(uint8_t adapter, uint8_t target, emulator::ScsiDevice& device) {
  platform::LockGuard guard(lock_);
  devices_[{adapter, target}] = &device;
}

void TestAspi::SetSupportInfo(uint32_t word) {
  platform::LockGuard guard(lock_);
  supportInfo_ = word;
}

void TestAspi::InstallInto(AspiEntryPoints& aspi) {
  aspi.GetASPI32SupportInfo.store(&TestAspi::GetASPI32SupportInfo);
  aspi.SendASPI32Command.store(&TestAspi::SendASPI32Command);
}

uint32_t TestAspi::GetASPI32SupportInfo() {
  TestAspi* harness = installed.load();
  if (harness == nullptr) return uint32_t{SS_FAILED_INIT} << 8;
  platform::LockGuard guard(harness->lock_);
  return harness->supportInfo_;
}

uint32_t TestAspi::SendASPI32Command(void* srb) {
  auto* header = static_cast<SRB_Header*>(srb);
  TestAspi* harness = installed.load();
  if (harness == nullptr) {
    header->SRB_Status = SS_INVALID_HA;
    return SS_INVALID_HA;
  }
  switch (header->SRB_Cmd) {
    case SC_EXEC_SCSI_CMD:
      return harness->Submit(*static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_ABORT_SRB:
      return harness->Abort(*static_cast<SRB_Abort*>(srb));
    default:
      header->SRB_Status = SS_INVALID_SRB;
      return SS_INVALID_SRB;
  }
}

uint32_t TestAspi::Submit(SRB_ExecSCSICmd& block) {
  platform::LockGuard guard(lock_);
  if (stopping_) {
    block.SRB_Status = SS_INVALID_HA;
    return SS_INVALID_HA;
  }
  if (!ValidExecuteBlock(block)) {
    block.SRB_Status = SS_INVALID_SRB;
    return SS_INVALID_SRB;
  }
  const auto found = devices_.find({block.SRB_HaId, block.SRB_Target});
  if (found == devices_.end() || block.SRB_Lun != 0) {
    block.SRB_Status = SS_NO_DEVICE;
    return SS_NO_DEVICE;
  }
  block.SRB_Status = SS_PENDING;
  submitted_.push_back(block);
  queue_.push_back({&block, found->second});
  changed_.NotifyAll();
  return SS_PENDING;
}

uint32_t TestAspi::Abort(SRB_Abort& abort) {
  platform::UniqueLock guard(lock_);
  auto* target = static_cast<SRB_ExecSCSICmd*>(abort.SRB_ToAbort);
  const auto queued =
      std::find_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.block == target; });
  if (queued != queue_.end()) {
    queue_.erase(queued);
  } else if (target != nullptr && inWork_ == target) {
    inWorkAborted_ = true;
    changed_.Wait(guard, [&] { return inWork_ != target; });
  } else {
    abort.SRB_Status = SS_INVALID_SRB;
    return SS_INVALID_SRB;
  }
  abort.SRB_Status = SS_COMP;
  return SS_COMP;
}

void TestAspi::Work() {
  platform::UniqueLock guard(lock_);
  for (;;) {
    changed_.Wait(guard, [&] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const Request request = queue_.front();
    queue_.pop_front();
    inWork_ = request.block;
    inWorkAborted_ = false;
    const emulator::ScsiCommand command = CommandFrom(*request.block);
    guard.Unlock();

    emulator::ScsiReply reply;
    const bool delivered = request.device->Execute(command, reply);

    guard.Lock();
    if (inWorkAborted_) {
      ++dropped_;
    } else {
      guard.Unlock();
      Complete(request, delivered, reply);
      guard.Lock();
    }
    inWork_ = nullptr;
    changed_.NotifyAll();
  }
}

// Runs on the worker with the lock released; the block is still the
// harness's until inWork_ is cleared, so an abort arriving now waits.
void TestAspi::Complete(const Request& request, bool delivered, const emulator::ScsiReply& reply) {
  SRB_ExecSCSICmd& block = *request.block;
  const uint8_t flags = block.SRB_Flags;
  void* const postProc = block.SRB_PostProc;
  uint8_t status = SS_COMP;
  if (!delivered) {
    status = SS_ABORTED;
    block.SRB_HaStat = HASTAT_TIMEOUT;
  } else if (reply.status != emulator::SCSI_GOOD) {
    status = SS_ERR;
    block.SRB_HaStat = HASTAT_OK;
    block.SRB_TargStat = reply.status;
    const std::size_t count = std::min<std::size_t>(block.SRB_SenseLen, SENSE_AREA_LEN);
    std::memcpy(block.SenseArea, reply.sense.data(), count);
  }
  if ((flags & SRB_ENABLE_RESIDUAL_COUNT) && delivered)
    block.SRB_BufLen -= std::min(block.SRB_BufLen, reply.transferred);
  block.SRB_Status = status;

  if (flags & SRB_POSTING) {
    reinterpret_cast<PostProcFn>(postProc)(&block);
  } else if (!SystemEvents().SetEvent(reinterpret_cast<EventHandle>(postProc))) {
    platform::LockGuard guard(lock_);
    ++failedSignals_;
  }
}

std::vector<SRB_ExecSCSICmd> TestAspi::Submitted() const {
  platform::LockGuard guard(lock_);
  return submitted_;
}

uint32_t TestAspi::DroppedCompletions() const {
  platform::LockGuard guard(lock_);
  return dropped_;
}

uint32_t TestAspi::FailedSignals() const {
  platform::LockGuard guard(lock_);
  return failedSignals_;
}

bool TestAspi::WaitIdle(uint32_t ms) const {
  platform::UniqueLock guard(lock_);
  return changed_.WaitFor(guard, ms,
                           [&] { return queue_.empty() && inWork_ == nullptr; });
}

}  // namespace fakes
