#include "emulator/fault_injector.h"

#include <cmath>

#include "emulator/sense_data.h"

namespace emulator {

namespace {

std::size_t Index(CommandKind kind) { return static_cast<std::size_t>(kind); }

}  // namespace

FaultRule FaultRule::Fail(std::optional<CommandKind> kind, uint32_t nth, uint8_t senseByte2) {
  FaultRule rule{.kind = kind, .nth = nth, .action = FaultAction::CheckCondition};
  rule.senseByte2 = senseByte2;
  return rule;
}

FaultRule FaultRule::Act(std::optional<CommandKind> kind, uint32_t nth, FaultAction action) {
  return FaultRule{.kind = kind, .nth = nth, .action = action};
}

FaultRule FaultRule::DelayBy(std::optional<CommandKind> kind, uint32_t nth, uint32_t delayMs) {
  FaultRule rule{.kind = kind, .nth = nth, .action = FaultAction::Delay};
  rule.delayMs = delayMs;
  return rule;
}

FaultRule FaultRule::Flip(std::optional<CommandKind> kind, uint32_t nth, uint32_t bitIndex) {
  FaultRule rule{.kind = kind, .nth = nth, .action = FaultAction::FlipBit};
  rule.bitIndex = bitIndex;
  return rule;
}

FaultInjector::FaultInjector(ScsiDevice& inner) : inner_(inner) {}

FaultInjector::~FaultInjector() {
  platform::UniqueLock guard(lock_);
  interrupted_ = true;
  changed_.NotifyAll();
  changed_.Wait(guard, [&] { return active_ == 0; });
}

bool FaultInjector::Execute(const ScsiCommand& command, ScsiReply& reply) {
  const CommandKind kind = ClassifyCommand(command.cdb, command.cdbLen);
  Decision decision;
  {
    platform::LockGuard guard(lock_);
    if (interrupted_) return false;
    ++active_;
    decision = Decide(kind);
  }
  bool delivered = false;
  if (Sleep(decision.latencyMs)) {
    delivered = decision.rule ? Act(*decision.rule, command, reply) : Forward(command, reply);
  }
  // Notified under the lock: once active_ reaches 0 the destructor may run.
  platform::LockGuard guard(lock_);
  --active_;
  changed_.NotifyAll();
  return delivered;
}

FaultInjector::Decision FaultInjector::Decide(CommandKind kind) {
  ++arrived_[Index(kind)];
  ++arrivedTotal_;
  Decision decision;
  decision.latencyMs = static_cast<uint32_t>(std::lround(latencyMs_[Index(kind)] * latencyScale_));
  for (const FaultRule& rule : rules_) {
    if (rule.kind && *rule.kind != kind) continue;
    const uint32_t position = rule.kind ? arrived_[Index(kind)] : arrivedTotal_;
    const bool inWindow = position >= rule.nth && (rule.times == 0 || position - rule.nth < rule.times);
    if (inWindow) {
      decision.rule = rule;
      break;
    }
  }
  return decision;
}

bool FaultInjector::Act(const FaultRule& rule, const ScsiCommand& command, ScsiReply& reply) {
  switch (rule.action) {
    case FaultAction::CheckCondition:
      reply = ScsiReply{};
      SetCheckCondition(reply, rule.senseByte2, INJECTED_ASC, INJECTED_ASCQ);
      return true;
    case FaultAction::Busy:
      reply = ScsiReply{};
      reply.status = SCSI_BUSY;
      return true;
    case FaultAction::NeverComplete:
      return Hold() && Forward(command, reply);
    case FaultAction::Delay:
      return Sleep(rule.delayMs) && Forward(command, reply);
    case FaultAction::TransportFailure:
      return false;
    case FaultAction::AcknowledgeOnly:
      reply = ScsiReply{};
      reply.transferred = command.dataLen;
      return true;
    case FaultAction::FlipBit:
      return FlipAndForward(command, reply, rule.bitIndex);
  }
  return false;
}

bool FaultInjector::Forward(const ScsiCommand& command, ScsiReply& reply) {
  {
    platform::LockGuard guard(lock_);
    ++forwarded_;
  }
  return inner_.Execute(command, reply);
}

bool FaultInjector::FlipAndForward(const ScsiCommand& command, ScsiReply& reply, uint32_t bitIndex) {
  if (command.dataLen == 0 || command.data == nullptr) return Forward(command, reply);
  const uint64_t bit = bitIndex % (uint64_t{command.dataLen} * 8);
  const std::size_t byte = static_cast<std::size_t>(bit / 8);
  const uint8_t flip = static_cast<uint8_t>(1u << (bit % 8));
  if (command.direction != DataDirection::Out) {
    const bool delivered = Forward(command, reply);
    if (delivered) command.data[byte] ^= flip;
    return delivered;
  }
  std::vector<uint8_t> copy(command.data, command.data + command.dataLen);
  copy[byte] ^= flip;
  ScsiCommand altered = command;
  altered.data = copy.data();
  return Forward(altered, reply);
}

bool FaultInjector::Sleep(uint32_t ms) {
  platform::UniqueLock guard(lock_);
  if (ms == 0) return !interrupted_;
  return !changed_.WaitFor(guard, ms, [&] { return interrupted_; });
}

bool FaultInjector::Hold() {
  platform::UniqueLock guard(lock_);
  const uint64_t generation = releases_;
  const uint64_t dropped = drops_;
  ++held_;
  changed_.NotifyAll();
  changed_.Wait(guard, [&] { return interrupted_ || releases_ != generation || drops_ != dropped; });
  --held_;
  return !interrupted_ && drops_ == dropped;
}

void FaultInjector::AddRule(const FaultRule& rule) {
  platform::LockGuard guard(lock_);
  rules_.push_back(rule);
}

void FaultInjector::SetLatency(CommandKind kind, uint32_t ms) {
  platform::LockGuard guard(lock_);
  latencyMs_[Index(kind)] = ms;
}

void FaultInjector::SetLatencyScale(double scale) {
  platform::LockGuard guard(lock_);
  latencyScale_ = scale > 0 ? scale : 0;
}

void FaultInjector::ReleaseHeld() {
  platform::LockGuard guard(lock_);
  ++releases_;
  changed_.NotifyAll();
}

void FaultInjector::DropHeld() {
  platform::LockGuard guard(lock_);
  ++drops_;
  changed_.NotifyAll();
}

void FaultInjector::Interrupt() {
  platform::LockGuard guard(lock_);
  interrupted_ = true;
  changed_.NotifyAll();
}

uint32_t FaultInjector::Arrived(CommandKind kind) const {
  platform::LockGuard guard(lock_);
  return arrived_[Index(kind)];
}

uint32_t FaultInjector::ArrivedTotal() const {
  platform::LockGuard guard(lock_);
  return arrivedTotal_;
}

uint32_t FaultInjector::Forwarded() const {
  platform::LockGuard guard(lock_);
  return forwarded_;
}

uint32_t FaultInjector::Held() const {
  platform::LockGuard guard(lock_);
  return held_;
}

bool FaultInjector::WaitUntilHeld(uint32_t count, uint32_t ms) const {
  platform::UniqueLock guard(lock_);
  return changed_.WaitFor(guard, ms, [&] { return held_ >= count; });
}

}  // namespace emulator
