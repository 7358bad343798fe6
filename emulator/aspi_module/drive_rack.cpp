#include "emulator/aspi_module/drive_rack.h"

#include <memory>

namespace aspi_module {

namespace {

// A device slot that hands commands to a device the rack owns.
class Borrowed final : public emulator::ScsiDevice {
 public:
  explicit Borrowed(emulator::ScsiDevice& device) : device_(device) {}
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override {
    return device_.Execute(command, reply);
  }

 private:
  emulator::ScsiDevice& device_;
};

// Weak: the loading program may offer the trace to replay, read already
// (the Linux demo, which reads it once); else the file is read here.
extern "C" const char* zx_ReplayTraceText(std::size_t* length) __attribute__((weak));

emulator::DriveRowOptions RowOptions(const ModuleConfig& config) {
  emulator::DriveRowOptions options;
  options.drives = config.drives;
  options.revision = config.revision;
  for (const FailSpec& f : config.failures) options.failures.push_back({f.kind, f.nth, f.senseByte2});
  options.logPath = config.logPath;
  options.dumpDir = config.dumpDir;
  options.replayPath = config.replayPath;
  std::size_t length = 0;
  const char* text =
      zx_ReplayTraceText != nullptr && !config.replayPath.empty() ? zx_ReplayTraceText(&length) : nullptr;
  if (text != nullptr) options.replayText = std::make_shared<const std::string>(text, length);
  options.replayDelays = config.replayDelays != 0;
  return options;
}

}  // namespace

DriveRack::DriveRack(const ModuleConfig& config, std::string& error)
    : config_(config), row_(RowOptions(config), error) {}

DriveRack::~DriveRack() = default;

std::vector<AdapterSlot> DriveRack::Slots() {
  std::vector<AdapterSlot> slots(config_.adapters);
  for (std::size_t adapter = 0; adapter < row_.Count(); ++adapter) {
    slots[adapter].target = static_cast<uint8_t>(config_.target);
    slots[adapter].device = std::make_unique<Borrowed>(row_.Device(adapter));
  }
  return slots;
}

void DriveRack::Interrupt() { row_.Interrupt(); }

std::string DriveRack::Conclude() const { return row_.Conclude(); }

}  // namespace aspi_module
