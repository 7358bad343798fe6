// What the command-line program takes from the system beyond the window
// programs' services (app/entry/system_services.h), each system's in
// cli/entry/<system>/.
// Threads: the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/power.h"

namespace cli_entry {

// The system's event loop where a service answers through one (Linux:
// logind's inhibitor, over Qt D-Bus, which needs no display); nothing on
// Windows. Made before the services, kept until they are gone.
class SystemLoop {
 public:
  SystemLoop();
  ~SystemLoop();
  SystemLoop(const SystemLoop&) = delete;
  SystemLoop& operator=(const SystemLoop&) = delete;
  // Lets the answers that came in be handled; returns at once.
  void Pump();

 private:
  struct Loop;
  std::unique_ptr<Loop> loop_;
};

// The shutdown and sleep inhibitor for a run; after the loop.
std::unique_ptr<platform::PowerControl> MakeCliPower();
// The device of a drive letter index as the operator knows it: Linux
// /dev/sg<i>, Windows the drive letter.
std::string DeviceName(uint8_t letterIndex);

}  // namespace cli_entry
