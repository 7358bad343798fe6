#include "emulator/aspi_module/drive_rack.h"

#include <cerrno>
#include <cstring>

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

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

DriveRack::DriveRack(const ModuleConfig& config, std::string& error) : config_(config) {
  if (!config_.logPath.empty()) {
    logFile_ = std::fopen(config_.logPath.c_str(), "w");
    if (logFile_ == nullptr) {
      error = "cannot create " + config_.logPath + ": " + std::strerror(errno);
    } else {
      log_.SetListener([file = logFile_](const emulator::CommandLogEntry& entry) {
        std::fprintf(file, "%s\n", emulator::FormatCommandLogLine(entry).c_str());
        std::fflush(file);
      });
    }
  }
  emulator::VirtualDriveOptions options;
  if (!config_.revision.empty()) options.revision = config_.revision;
  drives_.resize(config_.drives);
  for (uint32_t adapter = 0; adapter < config_.drives; ++adapter) {
    Drive& d = drives_[adapter];
    d.drive = std::make_unique<emulator::VirtualDrive>(options);
    d.faults = std::make_unique<emulator::FaultInjector>(*d.drive);
    for (const FailSpec& f : config_.failures)
      d.faults->AddRule(emulator::FaultRule::Fail(f.kind, f.nth, f.senseByte2));
    d.tap = std::make_unique<emulator::LoggingDevice>(*d.faults, log_, adapter);
  }
}

DriveRack::~DriveRack() {
  // Taps before injectors before drives: each points at the next.
  for (Drive& d : drives_) {
    d.tap.reset();
    d.faults.reset();
    d.drive.reset();
  }
  log_.SetListener(nullptr);
  if (logFile_ != nullptr) std::fclose(logFile_);
}

std::vector<AdapterSlot> DriveRack::Slots() {
  std::vector<AdapterSlot> slots(config_.adapters);
  for (std::size_t adapter = 0; adapter < drives_.size(); ++adapter) {
    slots[adapter].target = static_cast<uint8_t>(config_.target);
    slots[adapter].device = std::make_unique<Borrowed>(*drives_[adapter].tap);
  }
  return slots;
}

void DriveRack::Interrupt() {
  for (Drive& d : drives_) d.faults->Interrupt();
}

std::string DriveRack::Dump() const {
  if (config_.dumpDir.empty() || drives_.empty()) return {};
  const emulator::VirtualDrive& drive = *drives_.front().drive;
  if (!WriteFile(config_.dumpDir + "/unit0.bin", drive.ReadFlash(0x000000, 0x80000)) ||
      !WriteFile(config_.dumpDir + "/unit1.bin", drive.ReadFlash(0x240000, 0x20000)))
    return "cannot write the flash dump into " + config_.dumpDir;
  return {};
}

}  // namespace aspi_module
