// A device in front of any other that makes chosen commands go wrong, for
// tests and the demo: by position among all commands or among the commands
// of one kind, a command can fail with CHECK CONDITION and any sense byte 2,
// answer BUSY, hang until released, arrive late, fail in transport, or be
// answered by a lying drive (acknowledged but never performed, or with a bit
// of its data flipped on the way). Every command can also be given a
// latency per kind, scaled as a whole (a demo run that takes visible time).
//
// Waits are interruptible: Interrupt() (and the destructor) end every wait at
// once; an interrupted command fails in transport (Execute returns false).
// Teardown: interrupt the injector before joining any thread that may be
// blocked in it, and destroy it before the device behind it.
// Threads: every member may be called from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/command_kind.h"
#include "emulator/scsi_device.h"
#include "platform/lock.h"

namespace emulator {

enum class FaultAction : uint8_t {
  CheckCondition,    // CHECK CONDITION with sense byte 2 = senseByte2; not passed on
  Busy,              // BUSY status; not passed on
  NeverComplete,     // blocks until ReleaseHeld() (then passed on), or DropHeld() or Interrupt()
                     // (transport failure)
  Delay,             // passed on after delayMs, unscaled
  TransportFailure,  // Execute returns false; not passed on
  AcknowledgeOnly,   // GOOD and the whole transfer claimed; not passed on
  FlipBit,           // passed on with bit bitIndex of the data inverted (for data from the
                     // drive, inverted in the reply); the index wraps at the data's size
};

// ASC/ASCQ of an injected CHECK CONDITION: internal target failure.
inline constexpr uint8_t INJECTED_ASC = 0x44;
inline constexpr uint8_t INJECTED_ASCQ = 0x00;

struct FaultRule {
  std::optional<CommandKind> kind;  // nullopt: counted among all commands
  uint32_t nth = 1;                 // 1-based position among the counted commands
  uint32_t times = 1;               // consecutive counted commands affected from nth; 0: all from nth on
  FaultAction action = FaultAction::CheckCondition;
  uint8_t senseByte2 = 0;
  uint32_t delayMs = 0;
  uint32_t bitIndex = 0;

  static FaultRule Fail(std::optional<CommandKind> kind, uint32_t nth, uint8_t senseByte2);
  static FaultRule Act(std::optional<CommandKind> kind, uint32_t nth, FaultAction action);
  static FaultRule DelayBy(std::optional<CommandKind> kind, uint32_t nth, uint32_t delayMs);
  static FaultRule Flip(std::optional<CommandKind> kind, uint32_t nth, uint32_t bitIndex);
};

class FaultInjector final : public ScsiDevice {
 public:
  explicit FaultInjector(ScsiDevice& inner);
  ~FaultInjector() override;  // interrupts, then waits for every call to leave
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  bool Execute(const ScsiCommand& command, ScsiReply& reply) override;

  // Rules are tried in the order added; the first that matches acts.
  void AddRule(const FaultRule& rule);
  void SetLatency(CommandKind kind, uint32_t ms);
  void SetLatencyScale(double scale);  // 0: no latency
  // Held commands go on to the device behind.
  void ReleaseHeld();
  // Held commands fail in transport and never reach the device behind, as
  // when the host reset the drive to take them back; later ones are served.
  void DropHeld();
  // Ends every wait now and fails every later command in transport.
  void Interrupt();

  uint32_t Arrived(CommandKind kind) const;
  uint32_t ArrivedTotal() const;
  uint32_t Forwarded() const;  // commands passed on to the device behind
  uint32_t Held() const;       // commands blocked by NeverComplete right now
  // Waits until at least `count` commands are held; false after `ms` without.
  bool WaitUntilHeld(uint32_t count, uint32_t ms) const;

 private:
  struct Decision {
    std::optional<FaultRule> rule;
    uint32_t latencyMs = 0;
  };

  Decision Decide(CommandKind kind);
  bool Forward(const ScsiCommand& command, ScsiReply& reply);
  bool FlipAndForward(const ScsiCommand& command, ScsiReply& reply, uint32_t bitIndex);
  bool Act(const FaultRule& rule, const ScsiCommand& command, ScsiReply& reply);
  // false when interrupted
  bool Sleep(uint32_t ms);
  bool Hold();

  ScsiDevice& inner_;
  mutable platform::Mutex lock_;
  mutable platform::ConditionVariable changed_;
  std::vector<FaultRule> rules_;
  std::array<uint32_t, COMMAND_KIND_COUNT> latencyMs_{};
  std::array<uint32_t, COMMAND_KIND_COUNT> arrived_{};
  uint32_t arrivedTotal_ = 0;
  uint32_t forwarded_ = 0;
  uint32_t held_ = 0;
  uint32_t active_ = 0;
  uint64_t releases_ = 0;
  uint64_t drops_ = 0;
  double latencyScale_ = 1.0;
  bool interrupted_ = false;
};

}  // namespace emulator
