// What a device layer has to say about the devices it could not use (see
// DeviceLayer::OpenProblems): one line per device, the first one said, in
// the order met.
// Threads: any.
#pragma once

#include <string>
#include <vector>

#include "platform/lock.h"

namespace platform {

class DeviceProblems {
 public:
  // Keeps `line`, which begins with `device` and a space, unless a line
  // about that device is already kept; true when it was kept.
  bool Note(const std::string& device, std::string line);
  std::vector<std::string> Lines() const;

 private:
  mutable Mutex lock_;
  std::vector<std::string> lines_;
};

}  // namespace platform
