#include "emulator/drive_row.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_sync.h"
#include "platform/path_ops.h"
#include "platform/removal_on_signal.h"

namespace emulator {

namespace {

struct DumpFile {
  const char* name;
  uint32_t address;
  uint32_t length;
};
constexpr std::array<DumpFile, 2> DUMP_FILES = {{{"unit0.bin", 0x000000, 0x80000}, {"unit1.bin", 0x240000, 0x20000}}};

// A dump written beside its final name and renamed into place only once it
// is whole and on the disk; removed on any failure, so a full disk leaves
// no partial file.
class StagedFile {
 public:
  StagedFile(const std::string& folder, const char* name) : target_(platform::JoinPath(folder, name)) {
    temp_ = platform::JoinPath(folder, "." + std::string(name) + "." + platform::TemporaryNameSuffix());
    onSignal_ = std::make_unique<platform::RemovedOnSignal>(temp_);
  }
  ~StagedFile() {
    if (!renamed_) platform::RemoveFile(temp_);
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Empty, or why the bytes are not whole on the disk.
  std::string Write(const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(temp_.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) return std::strerror(written ? errno : writeErrno);
    std::string error;
    platform::SyncFileData(temp_, error);
    return error;
  }
  std::string Rename() {
    std::string error;
    if (!platform::RenameOver(temp_, target_, error)) return error;
    renamed_ = true;
    onSignal_->Release();
    return {};
  }

 private:
  std::string target_, temp_;
  bool renamed_ = false;
  std::unique_ptr<platform::RemovedOnSignal> onSignal_;
};

// An existing dump file is replaced only when it is a regular file: a link,
// device or FIFO in its place is left as it is.
std::string RefuseNonRegular(const std::string& folder) {
  for (const DumpFile& dump : DUMP_FILES) {
    const platform::PathKind kind = platform::KindOf(platform::JoinPath(folder, dump.name));
    if (kind != platform::PathKind::Missing && kind != platform::PathKind::Regular)
      return std::string(dump.name) + " is there and is not a regular file";
  }
  return {};
}

// Both files or neither: each is staged before either is renamed.
std::string WriteDump(const VirtualDrive& drive, const std::string& folder) {
  if (std::string refusal = RefuseNonRegular(folder); !refusal.empty()) return refusal;
  std::vector<std::unique_ptr<StagedFile>> staged;
  for (const DumpFile& dump : DUMP_FILES) {
    staged.push_back(std::make_unique<StagedFile>(folder, dump.name));
    if (std::string error = staged.back()->Write(drive.ReadFlash(dump.address, dump.length)); !error.empty())
      return error;
  }
  for (const auto& file : staged)
    if (std::string error = file->Rename(); !error.empty()) return error;
  std::string error;
  platform::SyncFolderOf(platform::JoinPath(folder, DUMP_FILES[0].name), error);
  return error;
}

}  // namespace

DriveRow::DriveRow(DriveRowOptions options, std::string& error) : options_(std::move(options)) {
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
  if (!options_.replayPath.empty()) {
    std::string replayError;
    replay_ = options_.replayText
                  ? ReplayScript::Parse(*options_.replayText, options_.replayPath, replayError)
                  : ReplayScript::Load(options_.replayPath, replayError);
    if (!replay_ && error.empty()) error = replayError;
    if (replay_) replay_->UseRecordedDelays(options_.replayDelays);
  }
  VirtualDriveOptions driveOptions;
  if (!options_.revision.empty()) driveOptions.revision = options_.revision;
  drives_.resize(options_.drives);
  for (uint32_t adapter = 0; adapter < options_.drives; ++adapter) {
    Drive& d = drives_[adapter];
    d.drive = std::make_unique<VirtualDrive>(driveOptions);
    if (replay_) d.replay = std::make_unique<ReplayDevice>(*replay_, adapter);
    d.faults = d.replay ? std::make_unique<FaultInjector>(*d.replay) : std::make_unique<FaultInjector>(*d.drive);
    for (const RowFailure& f : options_.failures)
      d.faults->AddRule(f.hang ? FaultRule::Act(f.kind, f.nth, FaultAction::NeverComplete)
                               : FaultRule::Fail(f.kind, f.nth, f.senseByte2));
    for (const RowLatency& latency : options_.latencies) d.faults->SetLatency(latency.kind, latency.ms);
    d.faults->SetLatencyScale(options_.latencyScale);
    if (logFile_ != nullptr) d.tap = std::make_unique<LoggingDevice>(*d.faults, log_, adapter);
  }
}

DriveRow::~DriveRow() {
  Interrupt();
  // Taps before injectors before drives: each points at the next.
  for (Drive& d : drives_) {
    d.tap.reset();
    d.faults.reset();
    d.replay.reset();
    d.drive.reset();
  }
  log_.SetListener(nullptr);
  if (logFile_ != nullptr) std::fclose(logFile_);
}

void DriveRow::DropHeld() {
  for (Drive& d : drives_)
    if (d.faults) d.faults->DropHeld();
}

void DriveRow::Interrupt() {
  for (Drive& d : drives_)
    if (d.faults) d.faults->Interrupt();
}

std::string DriveRow::Conclude() const {
  if (replay_) {
    if (std::string failure = replay_->Failure(); !failure.empty()) return failure;
    if (const std::size_t left = replay_->Remaining(); left > 0)
      return "replay: the run ended with " + std::to_string(left) + " commands of the trace not sent";
  }
  std::string dumpError;
  if (!options_.dumpDir.empty() && !drives_.empty()) {
    if (const std::string problem = WriteDump(*drives_.front().drive, options_.dumpDir); !problem.empty())
      dumpError = "cannot write the flash dump into " + options_.dumpDir + ": " + problem;
  }
  if (const int logErrno = logErrno_.load(); logErrno != 0)
    return "cannot write the command log " + options_.logPath + ": " + std::strerror(logErrno);
  return dumpError;
}

}  // namespace emulator
