#include "emulator/command_log.h"

namespace emulator {

CommandLogEntry MakeLogEntry(uint32_t adapter, const ScsiCommand& command) {
  CommandLogEntry entry;
  entry.adapter = adapter;
  if (command.cdb != nullptr) entry.cdb.assign(command.cdb, command.cdb + command.cdbLen);
  entry.direction = command.direction;
  entry.length = command.dataLen;
  if (command.direction == DataDirection::Out && command.data != nullptr)
    entry.sentDigest = Sha256Of(command.data, command.dataLen);
  return entry;
}

std::string FormatCommandLogLine(const CommandLogEntry& entry) {
  std::string line = "ha=" + std::to_string(entry.adapter);
  line += " cdb=" + platform::HexOf(entry.cdb.data(), entry.cdb.size());
  line += std::string(" dir=") + DirectionName(entry.direction);
  line += " len=" + std::to_string(entry.length);
  line += " sha256=" + (entry.sentDigest ? ToHex(*entry.sentDigest) : std::string("-"));
  return line;
}

void CommandLog::Append(CommandLogEntry entry) {
  platform::LockGuard guard(lock_);
  if (listener_) listener_(entry);
  if (keepEntries_) entries_.push_back(std::move(entry));
}

std::vector<CommandLogEntry> CommandLog::Entries() const {
  platform::LockGuard guard(lock_);
  return entries_;
}

std::size_t CommandLog::Size() const {
  platform::LockGuard guard(lock_);
  return entries_.size();
}

void CommandLog::Clear() {
  platform::LockGuard guard(lock_);
  entries_.clear();
}

void CommandLog::SetListener(Listener listener) {
  platform::LockGuard guard(lock_);
  listener_ = std::move(listener);
}

}  // namespace emulator
