#include "app/startup.h"

#include <optional>
#include <utility>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "drive/discovery.h"
#include "firmware/container.h"
#include "firmware/version_check.h"
#include "platform/power.h"
#include "transport/aspi_library.h"
#include "transport/aspisim.h"
#include "transport/command_trace.h"

namespace {

// The pass-through family: every drive letter that answers is a host
// adapter. With none, the entry points stay empty, so no request can be
// sent at all and the scan visits nothing.
void StartSimulator(Program& program) {
  std::optional<OpenedLetters> opened;
  WorkerStarter startThread = &platform::OsThread::Start;
  if (program.letterOpening) {
    // The opening's thread goes on as the simulator's worker.
    opened = program.letterOpening->Take();
    startThread = program.letterOpening->Starter();
  }
  program.simulator = std::make_unique<ASPISim>(program.os.devices, program.os.events,
                                                program.run.hostAdapterCount, std::move(opened),
                                                std::move(startThread));
  program.letterOpening.reset();
  if (program.run.hostAdapterCount.load() == 0) return;
  program.channel.aspi.GetASPI32SupportInfo.store(&ASPISim::GetASPI32SupportInfo);
  program.channel.aspi.SendASPI32Command.store(&ASPISim::SendASPI32Command);
}

// The library family. False when the library reported a status other than
// SS_COMP: its box has been shown and the window closed.
bool StartLibrary(Program& program, TForm1& form) {
  LoadAspiLibrary(program.aspiLibrary);  // does not return without both entry points
  const uint32_t word = program.channel.aspi.GetASPI32SupportInfo.load()();
  program.run.hostAdapterCount.store(SupportInfoAdapterCount(word));
  const uint8_t status = SupportInfoStatus(word);
  if (status == SS_COMP) return true;
  program.os.dialogs.ShowMessage(status == SS_PENDING ? ASPI_BUSY_TEXT : ASPI_ERROR_TEXT);
  // Set first: the entry looks at it to leave without showing the window.
  form.closedDuringStartup = true;
  form.Close();  // FormClose unloads the library
  return false;
}

void BlankAndCut(TForm1& form) {
  for (tk::Label* label : {&form.Label1, &form.Label2, &form.Label6, &form.Label7, &form.Label8, &form.Label9,
                           &form.Label11, &form.Label12})
    label->SetCaption("");
  form.RichEdit1.SetText("");
  form.Button1.SetEnabled(false);
  const tk::Bounds bar = form.ProgressBar1.GetBounds();
  form.SetOuterHeight(bar.top + bar.height + CUT_BELOW_PROGRESS_BAR);
  form.Timer1.SetEnabled(false);
  form.ProgressBar1.SetMax(PROGRESS_MAX);
  form.SetCaption(WINDOW_CAPTION);
}

void ShowDiscoveryOutcome(Program& program, TForm1& form, uint8_t kept) {
  if (kept == 1) {
    SelectDrive(program.run, program.drives, form.view, 0);
    form.ComboBox1.SetItemIndex(0);  // raises no change event
    program.run.driveSelected.store(1);
    if (program.run.containerValid.load() != 0)
      CheckVersion(program.run, program.drives, program.container, form.view, 0);
    return;
  }
  ShowStatus(program, form, kept == 0 ? StatusMsg::NoDrive : StatusMsg::SelectDrive);
  form.Button1.SetEnabled(false);
}

// What a bug report needs to know about this machine, once start-up has
// learnt it all.
void TraceHeaderOf(const Program& program, uint32_t platformId) {
  CommandTrace* trace = InstalledCommandTrace();
  if (trace == nullptr) return;
  TraceHeader header;
  header.firmwareVersion = program.run.containerValid.load() != 0 ? program.container.version : "";
  header.platformId = platformId;
  if (program.simulator) header.backEnd = "pass-through";
  if (program.aspiLibrary.handle != nullptr) header.backEnd = "aspi-library";
  header.adapters = program.run.hostAdapterCount.load();
  header.language = program.run.Japanese() ? "ja" : "en";
  trace->Header(header);
}

}  // namespace

void BeginStartup(Program& program) {
  if (program.os.system.PlatformId() == platform::VER_PLATFORM_WIN32_NT)
    program.letterOpening = std::make_unique<DriveLetterOpening>(program.os.devices);
}

void RunStartup(TForm1& form) {
  Program& program = form.program;
  uint8_t kept = 0;

  const uint32_t platformId = QueryPlatform(program, false);
  if (platformId == platform::VER_PLATFORM_WIN32_NT) {
    form.Label19.SetCaption("WinNT");
    StartSimulator(program);
  } else if (platformId == platform::VER_PLATFORM_WIN32_WINDOWS) {
    form.Label19.SetCaption("Win9x");
    if (!StartLibrary(program, form)) return TraceHeaderOf(program, platformId);
  }

  BlankAndCut(form);
  ChooseLanguage(program, form);
  kept = ScanDrives(program.channel, program.run, program.drives, form.view);
  CheckContainer(program.os.system, program.container, program.run, form.view);
  TraceHeaderOf(program, platformId);
  ShowDiscoveryOutcome(program, form, kept);
}

uint32_t QueryPlatform(Program& program, bool powerOff) {
  const uint32_t platformId = program.os.system.PlatformId();
  if (!powerOff) return platformId;
  const bool ntFamily = platformId == platform::VER_PLATFORM_WIN32_NT;
  if (ntFamily) SetShutdownPrivilege(program, true);
  // Advisory: whatever the answer, the caller goes on and closes the window.
  (void)program.os.power.ExitWindowsEx(platform::EWX_SHUTDOWN, 0);
  if (ntFamily) SetShutdownPrivilege(program, false);
  return platformId;
}
