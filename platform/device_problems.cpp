#include "platform/device_problems.h"

namespace platform {

bool DeviceProblems::Note(const std::string& device, std::string line) {
  LockGuard guard(lock_);
  for (const std::string& known : lines_)
    if (known.rfind(device + " ", 0) == 0) return false;
  lines_.push_back(std::move(line));
  return true;
}

std::vector<std::string> DeviceProblems::Lines() const {
  LockGuard guard(lock_);
  return lines_;
}

}  // namespace platform
