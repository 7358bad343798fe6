// The demo's start-up as zorvex-flash-demo makes it, over one virtual drive,
// in English; kept apart from the Win32 headers, whose macros clash with the
// project's own names.
#include "bench/win32/demo_startup.h"


#include "app/entry/application_setup.h"
#include "app/entry/demo_drives.h"
#include "app/entry/demo_services.h"
#include "app/entry/system_services.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/toolkit/application.h"
#include "app/toolkit/dialogs.h"
#include "platform/event.h"

int DemoStartup(int (*report)()) {
  tk::Application app;
  SetUpApplication();
  demo::DemoOptions options;
  options.drives = 1;
  options.latencyScale = 0;
  options.language = demo::Language::English;
  const auto real = entry::MakeSystemInfo();
  demo::DemoSystemInfo system(*real, options);
  demo::DemoPower power(demo::SayOnStdout);
  const auto libraries = entry::MakeLibraryLoader(entry::ProgramFolder());
  tk::WindowDialogs dialogs;
  demo::DemoDrives drives(options);
  Program program(Services{system, power, *libraries, drives.Layer(), SystemEvents(), dialogs});
  BeginStartup(program);
  TForm1 form(program);
  form.Show();
  const int status = report();
  drives.Interrupt();
  return status;
}
