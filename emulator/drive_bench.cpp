#include "emulator/drive_bench.h"

#include <cerrno>
#include <cstring>

namespace emulator {

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

DriveBench::DriveBench(DriveBenchOptions options, std::string& error) : options_(std::move(options)) {
  if (!options_.logPath.empty()) {
    // Binary: one line feed per line on every system, so that logs of the
    // same run compare equal whichever system wrote them.
    logFile_ = std::fopen(options_.logPath.c_str(), "wb");
    if (logFile_ == nullptr) {
      error = "cannot create the command log " + options_.logPath + ": " + std::strerror(errno);
    } else {
      log_.SetListener([this, file = logFile_](const CommandLogEntry& entry) {
        // A full disk shows only at the flush; the first failure is kept.
        const bool written = std::fprintf(file, "%s\n", FormatCommandLogLine(entry).c_str()) >= 0;
        if ((std::fflush(file) != 0 || !written) && logErrno_.load() == 0) logErrno_.store(errno == 0 ? EIO : errno);
      });
    }
  }
  VirtualDriveOptions driveOptions;
  if (!options_.revision.empty()) driveOptions.revision = options_.revision;
  drives_.resize(options_.drives);
  for (uint32_t adapter = 0; adapter < options_.drives; ++adapter) {
    Drive& d = drives_[adapter];
    d.drive = std::make_unique<VirtualDrive>(driveOptions);
    d.faults = std::make_unique<FaultInjector>(*d.drive);
    for (const BenchFailure& f : options_.failures)
      d.faults->AddRule(FaultRule::Fail(f.kind, f.nth, f.senseByte2));
    for (const BenchLatency& latency : options_.latencies) d.faults->SetLatency(latency.kind, latency.ms);
    d.faults->SetLatencyScale(options_.latencyScale);
    if (logFile_ != nullptr) d.tap = std::make_unique<LoggingDevice>(*d.faults, log_, adapter);
  }
}

DriveBench::~DriveBench() {
  Interrupt();
  // Taps before injectors before drives: each points at the next.
  for (Drive& d : drives_) {
    d.tap.reset();
    d.faults.reset();
    d.drive.reset();
  }
  log_.SetListener(nullptr);
  if (logFile_ != nullptr) std::fclose(logFile_);
}

void DriveBench::Interrupt() {
  for (Drive& d : drives_)
    if (d.faults) d.faults->Interrupt();
}

std::string DriveBench::Conclude() const {
  std::string dumpError;
  if (!options_.dumpDir.empty() && !drives_.empty()) {
    const VirtualDrive& drive = *drives_.front().drive;
    if (!WriteFile(options_.dumpDir + "/unit0.bin", drive.ReadFlash(0x000000, 0x80000)) ||
        !WriteFile(options_.dumpDir + "/unit1.bin", drive.ReadFlash(0x240000, 0x20000)))
      dumpError = "cannot write the flash dump into " + options_.dumpDir + ": " + std::strerror(errno);
  }
  if (const int logErrno = logErrno_.load(); logErrno != 0)
    return "cannot write the command log " + options_.logPath + ": " + std::strerror(logErrno);
  return dumpError;
}

}  // namespace emulator
