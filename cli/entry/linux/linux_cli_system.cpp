#include <QCoreApplication>

#include "cli/entry/cli_system.h"
#include "platform/linux/logind/logind_power.h"
#include "platform/linux/sg_device_layer.h"

namespace cli_entry {

struct SystemLoop::Loop {
  // QCoreApplication keeps references to both for its whole life.
  int argc = 1;
  char name[17] = "zorvex-flash-cli";
  char* argv[2] = {name, nullptr};
  QCoreApplication application{argc, argv};
};

SystemLoop::SystemLoop() : loop_(std::make_unique<Loop>()) {}

SystemLoop::~SystemLoop() = default;

void SystemLoop::Pump() { QCoreApplication::processEvents(); }

// The window's lock: logind's on shutdown, sleep, idle, the power keys and
// the lid, and the desktop portal's on logout where a session has one.
std::unique_ptr<platform::PowerControl> MakeCliPower() { return std::make_unique<platform::LogindPower>(); }

std::string DeviceName(uint8_t letterIndex) { return platform::SgNodePath(letterIndex); }

}  // namespace cli_entry
