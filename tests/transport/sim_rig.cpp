#include "tests/transport/sim_rig.h"

#include <algorithm>
#include <cstring>

#include "platform/lock.h"
#include "tests/support/test_thread.h"

namespace simtest {

void ScriptedDevice::Answer(uint8_t status, std::vector<uint8_t> sense) {
  platform::LockGuard guard(lock_);
  status_ = status;
  sense_ = std::move(sense);
}

std::vector<ScriptedDevice::Seen> ScriptedDevice::Commands() const {
  platform::LockGuard guard(lock_);
  return seen_;
}

bool ScriptedDevice::WaitForCommands(std::size_t n, uint32_t ms) const {
  platform::UniqueLock guard(lock_);
  return arrived_.WaitFor(guard, ms, [&] { return seen_.size() >= n; });
}

bool ScriptedDevice::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  if (command.cdbLen > 0 && command.cdb[0] == 0x12) {
    const uint32_t n = std::min<uint32_t>(command.dataLen, 36);
    const uint8_t inquiry[36] = {type_, 0x80, 0, 0, 31, 0, 0, 0, 'Z', 'O', 'R', 'V', 'E', 'X'};
    std::memcpy(command.data, inquiry, n);
    reply.transferred = n;
    return true;
  }
  platform::LockGuard guard(lock_);
  seen_.push_back({std::vector<uint8_t>(command.cdb, command.cdb + command.cdbLen), command.direction,
                   command.dataLen, command.data, zx_test::ThisThreadId()});
  arrived_.NotifyAll();
  reply.status = status_;
  reply.senseLen = static_cast<uint8_t>(std::min(sense_.size(), reply.sense.size()));
  std::copy_n(sense_.begin(), reply.senseLen, reply.sense.begin());
  reply.transferred = command.dataLen;
  return true;
}

std::vector<platform::SptdBlock> RecordingLayer::Sent() const {
  platform::LockGuard guard(lock_);
  return sent_;
}

bool RecordingLayer::DeviceIoControl(platform::DeviceHandle h, uint32_t code, void* in, uint32_t inLen,
                                     void* out, uint32_t outLen) {
  if (code == platform::IOCTL_SCSI_PASS_THROUGH_DIRECT && in != nullptr &&
      inLen >= sizeof(platform::SptdBlock)) {
    platform::LockGuard guard(lock_);
    sent_.push_back(*static_cast<const platform::SptdBlock*>(in));
  }
  return inner_.DeviceIoControl(h, code, in, inLen, out, outLen);
}

platform::PassThroughResult RecordingLayer::SendPassThrough(platform::DeviceHandle h,
                                                            platform::SptdBlock& block) {
  {
    platform::LockGuard guard(lock_);
    sent_.push_back(block);
  }
  return inner_.SendPassThrough(h, block);
}

void CountingStarter::Decide(std::function<bool(int call)> succeeds) {
  platform::LockGuard guard(lock_);
  succeeds_ = std::move(succeeds);
}

WorkerStarter CountingStarter::Starter() {
  return [this](std::function<void()> body, platform::ThreadPriority priority) {
    const int call = ++calls_;
    if (priority != platform::ThreadPriority::AboveNormal) onlyAboveNormal_ = false;
    {
      platform::LockGuard guard(lock_);
      if (!succeeds_(call)) return std::unique_ptr<platform::OsThread>();
    }
    return platform::OsThread::Start(
        [this, body = std::move(body)] {
          body();
          ++ended_;
        },
        priority);
  };
}

std::shared_ptr<ScriptedDevice> SimRig::Place(uint8_t letter, emulator::VirtualLetter settings,
                                              uint8_t type) {
  auto device = std::make_shared<ScriptedDevice>(type);
  layer.Place(letter, device, settings);
  return device;
}

ASPISim& SimRig::Create(bool begunEarly) {
  if (begunEarly) {
    DriveLetterOpening opening(recorder);
    sim = std::make_unique<ASPISim>(recorder, SystemEvents(), hostAdapterCount, opening.Take(),
                                    opening.Starter());
  } else {
    sim = std::make_unique<ASPISim>(recorder, SystemEvents(), hostAdapterCount, starter.Starter());
  }
  return *sim;
}

bool GuardedSrb::GuardIntact() const {
  return std::all_of(std::begin(guard), std::end(guard), [](uint8_t b) { return b == 0xCC; });
}

void FillExecute(SRB_ExecSCSICmd& srb, uint8_t haId, uint8_t flags, EventHandle event, uint8_t opcode,
                 uint8_t* buffer, uint32_t bufLen) {
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = haId;
  srb.SRB_Flags = flags;
  srb.SRB_BufLen = bufLen;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = 16;
  srb.SRB_CDBLen = 6;
  srb.SRB_PostProc = reinterpret_cast<void*>(event);
  srb.CDBByte[0] = opcode;
}

}  // namespace simtest
