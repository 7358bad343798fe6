#include "cli/cli_session.h"

#include "drive/discovery.h"
#include "firmware/container.h"
#include "firmware/flash_procedure.h"
#include "firmware/version_check.h"
#include "platform/termination_requests.h"
#include "platform/thread.h"
#include "platform/thread_class.h"
#include "transport/aspisim.h"
#include "transport/command_trace.h"

namespace {

constexpr uint32_t kRunPollMs = 50;

}  // namespace

CliSession::CliSession(const CliServices& services, Console& console)
    : services_(services),
      console_(console),
      dialogs_(console),
      channel_(services.events, dialogs_),
      library_{services.libraries, dialogs_, channel_.aspi} {}

CliSession::~CliSession() { UnloadAspiLibrary(library_); }

bool CliSession::StartBackEnd(uint32_t platformId) {
  if (platformId == platform::VER_PLATFORM_WIN32_NT) {
    // Every drive letter (Linux: sg node) that answers is a host adapter.
    simulator_ = std::make_unique<ASPISim>(services_.devices, services_.events, run_.hostAdapterCount);
    if (run_.hostAdapterCount.load() == 0) return true;
    channel_.aspi.GetASPI32SupportInfo.store(&ASPISim::GetASPI32SupportInfo);
    channel_.aspi.SendASPI32Command.store(&ASPISim::SendASPI32Command);
    return true;
  }
  if (platformId != platform::VER_PLATFORM_WIN32_WINDOWS) return true;
  LoadAspiLibrary(library_);  // does not return without both entry points
  const uint32_t word = channel_.aspi.GetASPI32SupportInfo.load()();
  run_.hostAdapterCount.store(SupportInfoAdapterCount(word));
  const uint8_t status = SupportInfoStatus(word);
  if (status == SS_COMP) return true;
  console_.Err(std::string("the ASPI library ") + (status == SS_PENDING ? "is busy" : "reported an error") +
               " (support status " + std::to_string(status) + "); no drive was asked");
  return false;
}

bool CliSession::Start(std::optional<bool> japanese) {
  const uint32_t platformId = services_.system.PlatformId();
  const bool started = StartBackEnd(platformId);
  const bool ja = japanese ? *japanese : services_.system.SystemDefaultLangID() == platform::LANG_ID_JAPANESE;
  run_.language.store(ja ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH);
  StartupView view;
  if (started) ScanDrives(channel_, run_, table_, view);
  CheckContainer(services_.system, container_, run_, view);
  if (ContainerValid()) carried_ = view.carried;
  if (CommandTrace* trace = InstalledCommandTrace()) {
    TraceHeader header;
    header.firmwareVersion = ContainerValid() ? container_.version : "";
    header.platformId = platformId;
    if (simulator_) header.backEnd = "pass-through";
    if (library_.handle != nullptr) header.backEnd = "aspi-library";
    header.adapters = run_.hostAdapterCount.load();
    header.language = ja ? "ja" : "en";
    trace->Header(header);
  }
  if (!started) return false;
  CheckEachDrive(view);
  return true;
}

// What the window shows for each drive when it is picked in the list.
void CliSession::CheckEachDrive(StartupView& view) {
  for (int i = 0; i < table_.count; ++i) {
    const DriveEntry& entry = table_.entries[static_cast<std::size_t>(i)];
    SelectDrive(run_, table_, view, i);
    run_.driveSelected.store(1);
    view.status = StatusMsg::IncorrectFile;
    view.flashEnabled = false;
    if (ContainerValid()) CheckVersion(run_, table_, container_, view, i);
    DriveReport report;
    report.number = i + 1;
    report.haId = entry.haId;
    report.target = entry.target;
    if (simulator_ && services_.deviceName) {
      if (const SptiAdapter* adapter = simulator_->Adapter(entry.haId))
        report.device = services_.deviceName(adapter->driveLetterIndex);
    }
    report.fields = view.fields;
    report.verdict = view.status;
    report.flashable = view.flashEnabled;
    reports_.push_back(report);
  }
}

void CliSession::TellInhibitor(const platform::InhibitLock* lock) {
  if (lock == nullptr || lock->Empty())
    console_.Err("nothing keeps the machine from sleeping or shutting down during the run");
  else if (const std::string missing = lock->Missing(); !missing.empty())
    console_.Err("the run goes on without a lock against: " + missing);
}

RunEnd CliSession::Flash(const DriveReport& drive, RunView& view) {
  RunEnd end;
  StartupView quiet;
  SelectDrive(run_, table_, quiet, drive.number - 1);
  std::unique_ptr<platform::DeviceLock> driveLock;
  if (simulator_) {
    driveLock = simulator_->LockAdapter(static_cast<uint8_t>(drive.haId), end.refusal);
    if (!driveLock) return end;  // another program holds the drive: nothing was sent
  }
  platform::DeferTermination();
  std::unique_ptr<platform::InhibitLock> inhibitor = services_.power.InhibitShutdown();
  bool told = false;
  run_.powerOffArmed.store(0);
  run_.completion.store(COMPLETION_NONE);
  run_.runActive.store(true);
  platform::ThreadRef thread;
  StartFlashRun(FlashContext{channel_, run_, container_}, view, thread);
  while (run_.runActive.load() || thread.Running()) {
    if (services_.whileRunning) services_.whileRunning();
    if (!told && (inhibitor == nullptr || inhibitor->Settled())) {
      told = true;
      TellInhibitor(inhibitor.get());
    }
    platform::SleepMs(kRunPollMs);
  }
  inhibitor.reset();
  driveLock.reset();
  const bool succeeded = run_.completion.load() == COMPLETION_SUCCESS;
  end.outcome = succeeded ? RunOutcome::Succeeded : RunOutcome::Failed;
  const std::vector<std::pair<StatusMsg, std::string>> messages = view.Messages();
  StatusMsg last = messages.empty() ? StatusMsg::FlashingError : messages.back().first;
  if (!succeeded && last != StatusMsg::ComparingError) last = StatusMsg::FlashingError;
  end.request = platform::EndDeferral(StatusLine(succeeded ? StatusMsg::Completed : last, false));
  return end;
}
