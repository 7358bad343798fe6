#include "app/entry/demo_drives.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace demo {

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

std::string Hex2(uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02x", value);
  return text;
}

}  // namespace

DemoDrives::DemoDrives(const DemoOptions& options)
    : options_(options), layer_(std::make_unique<emulator::VirtualDeviceLayer>()) {
  if (!options_.commandLog.empty()) {
    logFile_.open(options_.commandLog, std::ios::trunc);
    if (!logFile_) throw std::runtime_error("cannot create the command log " + options_.commandLog);
    log_.SetListener([this](const emulator::CommandLogEntry& entry) {
      logFile_ << emulator::FormatCommandLogLine(entry) << '\n' << std::flush;
    });
  }
  emulator::VirtualDriveOptions driveOptions;
  driveOptions.revision = options_.revision;
  drives_.resize(static_cast<std::size_t>(options_.drives));
  for (std::size_t i = 0; i < drives_.size(); ++i) {
    Drive& d = drives_[i];
    d.drive = std::make_unique<emulator::VirtualDrive>(driveOptions);
    d.faults = std::make_unique<emulator::FaultInjector>(*d.drive);
    for (const DemoFailure& f : options_.failures)
      d.faults->AddRule(emulator::FaultRule::Fail(f.kind, f.nth, f.senseByte2));
    for (const KindLatency& latency : DRIVE_LATENCIES) d.faults->SetLatency(latency.kind, latency.ms);
    d.faults->SetLatencyScale(options_.latencyScale);
    // Letters answer in order, so the drive on the i-th letter is host adapter i.
    auto tap = std::make_shared<emulator::LoggingDevice>(*d.faults, log_, static_cast<uint32_t>(i));
    layer_->Place(static_cast<uint8_t>(FIRST_DRIVE_LETTER + i), tap);
  }
}

DemoDrives::~DemoDrives() {
  Interrupt();
  layer_.reset();  // waits for calls inside it; lets go of the taps
  for (Drive& d : drives_) {
    d.faults.reset();
    d.drive.reset();
  }
  log_.SetListener(nullptr);
}

void DemoDrives::Interrupt() {
  for (Drive& d : drives_) d.faults->Interrupt();
}

std::string DemoDrives::Dump() const {
  if (options_.dumpDir.empty() || drives_.empty()) return {};
  const emulator::VirtualDrive& drive = *drives_.front().drive;
  if (!WriteFile(options_.dumpDir + "/unit0.bin", drive.ReadFlash(DUMP_UNIT0_ADDRESS, DUMP_UNIT0_LENGTH)) ||
      !WriteFile(options_.dumpDir + "/unit1.bin", drive.ReadFlash(DUMP_UNIT1_ADDRESS, DUMP_UNIT1_LENGTH)))
    return "cannot write the flash dump into " + options_.dumpDir;
  return {};
}

std::string LibraryConfig(const DemoOptions& options) {
  const std::string drives = std::to_string(options.drives);
  const auto latency = static_cast<uint32_t>(std::lround(LIBRARY_LATENCY_MS * options.latencyScale));
  std::string text = "adapters=" + drives + ";drives=" + drives + ";revision=" + options.revision +
                     ";latency=" + std::to_string(latency);
  for (const DemoFailure& f : options.failures)
    text += ";fail=" + std::string(emulator::CommandKindName(f.kind)) + ":" + std::to_string(f.nth) + ":" +
            Hex2(f.senseByte2);
  if (!options.commandLog.empty()) text += ";log=" + options.commandLog;
  if (!options.dumpDir.empty()) text += ";dump=" + options.dumpDir;
  return text;
}

}  // namespace demo
