// zorvex-flash-demo: the program, built from the same sources, in front of
// virtual drives, with demonstration firmware appended at build time and a
// power-off that only prints a line. Options: demo_options.h (--help).
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "app/entry/application_setup.h"
#include "app/entry/demo_autopilot.h"
#include "app/entry/demo_box_presser.h"
#include "app/entry/demo_drives.h"
#include "app/entry/demo_library_folder.h"
#include "app/entry/demo_options.h"
#include "app/entry/demo_services.h"
#include "app/entry/display_loss.h"
#include "app/entry/display_opening.h"
#include "app/entry/exception_report.h"
#include "app/entry/library_problems.h"
#include "app/entry/library_replay.h"
#include "app/entry/system_services.h"
#include "app/entry/trace_session.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/toolkit/application.h"
#include "app/toolkit/dialogs.h"
#include "emulator/virtual_device_layer.h"
#include "platform/event.h"
#include "platform/termination_requests.h"
#include "transport/aspi_library.h"
#include "platform/standard_streams.h"

namespace {

#ifndef ZX_VERSION
#error "the build gives the project's version as ZX_VERSION"
#endif

constexpr const char* kProgram = "zorvex-flash-demo";
constexpr int kBadOptions = 2;
constexpr int kRunNotSucceeded = 1;

// Shows the window and runs the loop; the exit status. A request to end the
// program that waited for the run gives the loop its own status.
int RunWindow(tk::Application& app, TForm1& form, const demo::DemoOptions& options) {
  if (form.closedDuringStartup) return options.autoFlash ? kRunNotSucceeded : 0;
  form.Show();
  std::optional<demo::AutoPilot> pilot;
  if (options.autoFlash) pilot.emplace(form, demo::SayOnStdout).Start();
  if (const int loop = app.Run(); loop != 0) return loop;
  // The window may close between the run's end and the watch noticing it:
  // a request that waited for the run still decides the status.
  const Program& program = form.program;
  if (const int request = platform::EndDeferral(RunOutcomeInEnglish(program)); request != 0)
    return platform::ExitStatusAfterRequest(request, program.run.completion.load() == COMPLETION_SUCCESS);
  return pilot && !pilot->Succeeded() ? kRunNotSucceeded : 0;
}

// The drives' files, written on the way out when the display went during a run.
void ConcludeWithoutWindow(const demo::DemoDrives* drives) {
  if (const std::string problem = demo::FileProblem(drives); !problem.empty())
    platform::SayLine("%s: %s", kProgram, problem.c_str());
}

int RunDemo(tk::Application& app, const demo::DemoOptions& options, const demo::DemoFiles& files) {
  // Outlives the program, whose flash thread records into it.
  const TraceSession trace(kProgram, ZX_VERSION, options.trace);
  const auto real = entry::MakeSystemInfo();
  demo::DemoSystemInfo system(*real, options);
  demo::DemoPower power(demo::SayOnStdout);
  const auto libraries = entry::MakeLibraryLoader(demo::LibraryFolder(entry::ProgramFolder()));
  tk::WindowDialogs dialogs;
  // Before the window: start-up may already raise a box.
  std::optional<demo::BoxPresser> presser;
  if (options.autoFlash) presser.emplace(demo::SayOnStdout);
  std::unique_ptr<demo::DemoDrives> drives;
  emulator::VirtualDeviceLayer noLetters;
  if (system.ChosenFamily() == demo::Family::Nt) {
    drives = std::make_unique<demo::DemoDrives>(options, files.replayText);
  } else {
    demo::OfferReplayToLibrary(files.replayText);
    entry::SetEnvironment("ZX_VIRTUAL_ASPI", demo::LibraryConfig(options));
  }

  int status = 0;
  {
    Program program(
        Services{system, power, *libraries, drives ? drives->Layer() : noLetters, SystemEvents(), dialogs});
    BeginStartup(program);
    TForm1 form(program);
    DisplayLossGuard displayLoss(kProgram, program, [&] {
      // The library family's drives write their files as the library goes,
      // which without the window's close happens only here.
      if (!drives) UnloadAspiLibrary(program.aspiLibrary);
      ConcludeWithoutWindow(drives.get());
    });
    // A session that ends all the same during a run (forced past the window's
    // refusal) is, to the run, the display going away.
    form.OnSessionEnding([&displayLoss] { displayLoss.DisplayLost(); });
    status = RunWindow(app, form, options);
    // No run is going (the window does not close during one); end any wait
    // a drive may still be in before the simulator stops its worker.
    if (drives) drives->Interrupt();
  }
  // The library family's drives went with the library, at the window's close.
  if (const std::string problem = demo::FileProblem(drives.get()); !problem.empty()) {
    platform::SayLine("%s: %s", kProgram, problem.c_str());
    return kRunNotSucceeded;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a file: see platform/standard_streams.h.
  platform::ClaimStandardStreams();
  const demo::DemoParse parse = demo::ParseDemoOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parse.error.empty()) {
    platform::SayLine("%s: %s", kProgram, parse.error.c_str());
    return kBadOptions;
  }
  if (parse.options.help) {
    platform::WriteToStdout(demo::DemoUsage());
    return 0;
  }
  if (parse.options.version) {
    platform::WriteToStdout(std::string("zorvex-flash-demo ") + ZX_VERSION + "\n");
    return 0;
  }
  // Kept to the end: the trace to replay, read once, and a held command log.
  const demo::DemoFiles files = demo::PrepareDemoFiles(parse.options);
  if (!files.error.empty()) {
    platform::SayLine("%s: %s", kProgram, files.error.c_str());
    return kBadOptions;
  }
  platform::InstallTerminationRequests(kProgram);
  // The toolkit sees no option: the demo's own are not for it.
  DisplayOpening opening(kProgram);
  tk::Application app;
  opening.Done();
  SetUpApplication();
  if (const std::string problem = CheckTextConversion(); !problem.empty()) {
    platform::SayLine("%s: %s", kProgram, problem.c_str());
    return kRunNotSucceeded;
  }
  try {
    return RunDemo(app, parse.options, files);
  } catch (const std::exception& error) {
    ReportException(error);
  }
  return kRunNotSucceeded;
}
