#include "cli/entry/cli_system.h"
#include "platform/win32/win32_power.h"

namespace cli_entry {

struct SystemLoop::Loop {};

SystemLoop::SystemLoop() = default;

SystemLoop::~SystemLoop() = default;

// The inhibitor needs no loop on Windows.
void SystemLoop::Pump() {}

std::unique_ptr<platform::PowerControl> MakeCliPower() { return std::make_unique<platform::Win32Power>(); }

std::string DeviceName(uint8_t letterIndex) {
  return std::string(1, static_cast<char>('C' + letterIndex)) + ":";
}

}  // namespace cli_entry
