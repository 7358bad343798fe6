// The program's entry: the real services, the window (whose construction
// runs the start-up sequence) and the message loop. The program takes no
// options.
#include <cstdio>
#include <exception>

#include "app/entry/application_setup.h"
#include "app/entry/display_loss.h"
#include "app/entry/display_opening.h"
#include "app/entry/exception_report.h"
#include "app/entry/system_services.h"
#include "app/entry/trace_session.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/toolkit/application.h"
#include "app/toolkit/dialogs.h"
#include "platform/event.h"
#include "platform/termination_requests.h"
#include "platform/standard_streams.h"

namespace {

constexpr const char* kProgram = "zorvex-flash";

// The message loop's status: 0, or what a request to end the program that
// came during a run asks for.
int Run(tk::Application& app) {
  // Outlives the program, whose flash thread records into it.
  const TraceSession trace(kProgram, ZX_VERSION);
  const auto system = entry::MakeSystemInfo();
  const auto power = entry::MakePower();
  // The ASPI library is looked for beside the program first, as on its home platform.
  const auto libraries = entry::MakeLibraryLoader(entry::ProgramFolder());
  // Never destroyed: a worker the simulator gave up on after an abort may
  // still be inside one of its calls when the window has gone, and only the
  // process's end may cut that call short.
  static platform::DeviceLayer& devices = *entry::MakeDeviceLayer().release();
  tk::WindowDialogs dialogs;
  Program program(Services{*system, *power, *libraries, devices, SystemEvents(), dialogs});
  BeginStartup(program);
  TForm1 form(program);
  // The window says only that no drive was found; what kept a node out is
  // said here.
  for (const std::string& problem : devices.OpenProblems())
    platform::SayLine("%s: %s", kProgram, problem.c_str());
  if (form.closedDuringStartup) return 0;
  DisplayLossGuard displayLoss(kProgram, program);
  // A session that ends all the same during a run (forced past the window's
  // refusal) is, to the run, the display going away.
  form.OnSessionEnding([&displayLoss] { displayLoss.DisplayLost(); });
  form.Show();
  const int loop = app.Run();
  // The window may close between the run's end and the watch noticing it:
  // a request that waited for the run still decides the status.
  if (const int request = platform::EndDeferral(RunOutcomeInEnglish(program)); request != 0)
    return platform::ExitStatusAfterRequest(request, program.run.completion.load() == COMPLETION_SUCCESS);
  return loop;
}

}  // namespace

int main() {
  // Before anything opens a file: see platform/standard_streams.h.
  platform::ClaimStandardStreams();
  platform::InstallTerminationRequests(kProgram);
  DisplayOpening opening(kProgram);
  tk::Application app;
  opening.Done();
  SetUpApplication();
  // Without the conversion every text would be empty: say so and stop.
  if (const std::string problem = CheckTextConversion(); !problem.empty()) {
    platform::SayLine("zorvex-flash: %s", problem.c_str());
    tk::WindowDialogs().ShowFatalError(problem, kApplicationTitle);
    return 1;
  }
  try {
    return Run(app);
  } catch (const std::exception& error) {
    ReportException(error);
  }
  return 0;
}
