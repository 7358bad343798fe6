// A simulator over virtual drive letters, with a small scripted SCSI device,
// a recorder of the pass-through blocks the simulator sends, and a thread
// starter that counts, refuses on demand and reports when bodies end.
// Threads: the device, recorder and starter may be used from any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "emulator/virtual_device_layer.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "tests/support/test_thread.h"
#include "transport/aspisim.h"

namespace simtest {

// Answers INQUIRY with its peripheral type; every other command with the scripted reply.
class ScriptedDevice final : public emulator::ScsiDevice {
 public:
  struct Seen {
    std::vector<uint8_t> cdb;
    emulator::DataDirection direction;
    uint32_t dataLen;
    uint8_t* data;
    zx_test::TestThread::Id thread;
  };
  explicit ScriptedDevice(uint8_t peripheralType = 5) : type_(peripheralType) {}
  void Answer(uint8_t status, std::vector<uint8_t> sense = {});
  std::vector<Seen> Commands() const;
  // Waits until n commands other than INQUIRY have arrived.
  bool WaitForCommands(std::size_t n, uint32_t ms) const;
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;

 private:
  const uint8_t type_;
  mutable platform::Mutex lock_;
  mutable platform::ConditionVariable arrived_;
  uint8_t status_ = emulator::SCSI_GOOD;
  std::vector<uint8_t> sense_;
  std::vector<Seen> seen_;
};

// Passes everything on and keeps a copy of every pass-through block as sent.
class RecordingLayer final : public platform::DeviceLayer {
 public:
  explicit RecordingLayer(platform::DeviceLayer& inner) : inner_(inner) {}
  std::vector<platform::SptdBlock> Sent() const;
  platform::DeviceHandle CreateFile(uint8_t index) override { return inner_.CreateFile(index); }
  bool DeviceIoControl(platform::DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  platform::PassThroughResult SendPassThrough(platform::DeviceHandle h, platform::SptdBlock& block) override;
  void CloseHandle(platform::DeviceHandle h) override { inner_.CloseHandle(h); }
  void Sleep(uint32_t ms) override { inner_.Sleep(ms); }

 private:
  platform::DeviceLayer& inner_;
  mutable platform::Mutex lock_;
  std::vector<platform::SptdBlock> sent_;
};

class CountingStarter {
 public:
  // Whether start number `call` (from 1) gets a thread; all do by default.
  void Decide(std::function<bool(int call)> succeeds);
  int Calls() const { return calls_; }
  int Ended() const { return ended_; }
  bool SawOnlyAboveNormal() const { return onlyAboveNormal_; }
  WorkerStarter Starter();

 private:
  platform::Mutex lock_;
  std::function<bool(int)> succeeds_ = [](int) { return true; };
  std::atomic<int> calls_{0};
  std::atomic<int> ended_{0};
  std::atomic<bool> onlyAboveNormal_{true};
};

// Letters with devices, a recorder in front, the simulator over both.
struct SimRig {
  emulator::VirtualDeviceLayer layer;
  RecordingLayer recorder{layer};
  CountingStarter starter;
  std::atomic<int32_t> hostAdapterCount{-1};
  std::unique_ptr<ASPISim> sim;

  SimRig() { layer.SetRealSleep(false); }
  ~SimRig() { sim.reset(); }
  std::shared_ptr<ScriptedDevice> Place(uint8_t letter, emulator::VirtualLetter settings = {},
                                        uint8_t type = 5);
  // `begunEarly`: over letters a DriveLetterOpening opened beforehand, its
  // thread going on as the worker (the counting starter is not asked).
  ASPISim& Create(bool begunEarly = false);
};

// An execute block followed by bytes that must never be written.
struct GuardedSrb {
  SRB_ExecSCSICmd srb{};
  uint8_t guard[32];
  GuardedSrb() { std::fill(std::begin(guard), std::end(guard), 0xCC); }
  bool GuardIntact() const;
};

// An event of the process's table, closed at the end of the scope.
struct ScopedEvent {
  EventHandle h = SystemEvents().CreateEvent();
  ~ScopedEvent() { SystemEvents().CloseHandle(h); }
  bool Wait(uint32_t ms) const { return SystemEvents().WaitForSingleObject(h, ms) == WaitResult::Signalled; }
};

// An event-notified execute block for adapter haId with a 6-byte CDB whose first byte is opcode.
void FillExecute(SRB_ExecSCSICmd& srb, uint8_t haId, uint8_t flags, EventHandle event, uint8_t opcode,
                 uint8_t* buffer = nullptr, uint32_t bufLen = 0);

}  // namespace simtest
