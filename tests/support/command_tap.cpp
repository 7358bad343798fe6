#include "tests/support/command_tap.h"

#include "platform/lock.h"

namespace fakes {

bool CommandTap::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  Hook hook;
  std::size_t position;
  {
    platform::LockGuard guard(lock_);
    TappedCommand tapped;
    if (command.cdb != nullptr) tapped.cdb.assign(command.cdb, command.cdb + command.cdbLen);
    tapped.direction = command.direction;
    tapped.length = command.dataLen;
    position = commands_.size();
    commands_.push_back(std::move(tapped));
    hook = hook_;
  }
  if (hook) hook(position);
  return inner_.Execute(command, reply);
}

void CommandTap::Clear() {
  platform::LockGuard guard(lock_);
  commands_.clear();
}

void CommandTap::SetHook(Hook hook) {
  platform::LockGuard guard(lock_);
  hook_ = std::move(hook);
}

std::vector<TappedCommand> CommandTap::Commands() const {
  platform::LockGuard guard(lock_);
  return commands_;
}

}  // namespace fakes
