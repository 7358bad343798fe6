// What the command-line programs take from the system beyond the window
// programs' services (app/entry/system_services.h), each system's in
// cli/entry/<system>/.
// Threads: the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/power.h"

namespace cli_entry {

// The inhibitor for a run where the system has one without a window.
std::unique_ptr<platform::PowerControl> MakeCliPower();
// The device of a drive letter index as the operator knows it: Linux
// /dev/sg<i>, Windows the drive letter.
std::string DeviceName(uint8_t letterIndex);

}  // namespace cli_entry
