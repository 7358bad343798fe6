#include "app/entry/demo_drives.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "app/entry/library_problems.h"

namespace demo {

namespace {

std::string Hex2(uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02x", value);
  return text;
}

emulator::DriveRowOptions RowOptions(const DemoOptions& options,
                                     std::shared_ptr<const std::string> replayText) {
  emulator::DriveRowOptions row;
  row.drives = static_cast<uint32_t>(options.drives);
  row.revision = options.revision;
  for (const DemoFailure& f : options.failures) row.failures.push_back({f.kind, f.nth, f.senseByte2});
  // A replayed drive takes the time the recorded one took, or none at scale 0.
  if (options.replay.empty())
    for (const KindLatency& latency : DRIVE_LATENCIES) row.latencies.push_back({latency.kind, latency.ms});
  row.latencyScale = options.latencyScale;
  row.logPath = options.commandLog;
  row.dumpDir = options.dumpDir;
  row.replayPath = options.replay;
  row.replayText = std::move(replayText);
  row.replayDelays = options.latencyScale > 0;
  return row;
}

}  // namespace

DemoDrives::DemoDrives(const DemoOptions& options, std::shared_ptr<const std::string> replayText)
    : layer_(std::make_unique<emulator::VirtualDeviceLayer>()) {
  std::string error;
  row_ = std::make_unique<emulator::DriveRow>(RowOptions(options, std::move(replayText)), error);
  if (!error.empty()) throw std::runtime_error(error);
  for (std::size_t i = 0; i < row_->Count(); ++i) {
    // Letters answer in order, so the drive on the i-th letter is host adapter i.
    // The row owns the device; the layer only borrows it.
    std::shared_ptr<emulator::ScsiDevice> borrowed(&row_->Device(i), [](emulator::ScsiDevice*) {});
    layer_->Place(static_cast<uint8_t>(FIRST_DRIVE_LETTER + i), std::move(borrowed));
  }
}

DemoDrives::~DemoDrives() {
  Interrupt();
  layer_.reset();  // waits for calls inside it before the drives go
  row_.reset();
}

void DemoDrives::Interrupt() { row_->Interrupt(); }

std::string DemoDrives::Conclude() const { return row_->Conclude(); }

std::string LibraryConfig(const DemoOptions& options) {
  const std::string drives = std::to_string(options.drives);
  const auto latency =
      options.replay.empty() ? static_cast<uint32_t>(std::lround(LIBRARY_LATENCY_MS * options.latencyScale)) : 0u;
  std::string text = "adapters=" + drives + ";drives=" + drives + ";revision=" + options.revision +
                     ";latency=" + std::to_string(latency);
  for (const DemoFailure& f : options.failures)
    text += ";fail=" + std::string(emulator::CommandKindName(f.kind)) + ":" + std::to_string(f.nth) + ":" +
            Hex2(f.senseByte2);
  if (!options.commandLog.empty()) text += ";log=" + options.commandLog;
  if (!options.dumpDir.empty()) text += ";dump=" + options.dumpDir;
  if (!options.replay.empty())
    text += ";replay=" + options.replay + ";replay-delays=" + (options.latencyScale > 0 ? "1" : "0");
  return text;
}

std::string FileProblem(const DemoDrives* drives) {
  std::string problem = drives ? drives->Conclude() : std::string();
  for (const std::string& line : TakeLibraryProblems())
    if (problem.empty()) problem = line;
  return problem;
}

}  // namespace demo
