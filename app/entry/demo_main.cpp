// zorvex-flash-demo: the program, built from the same sources, in front of
// virtual drives, with demonstration firmware appended at build time and a
// power-off that only prints a line. Options: demo_options.h (--help).
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>

#include "app/entry/demo_autopilot.h"
#include "app/entry/demo_drives.h"
#include "app/entry/demo_options.h"
#include "app/entry/demo_services.h"
#include "app/entry/exception_report.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/toolkit/application.h"
#include "app/toolkit/dialogs.h"
#include "emulator/virtual_device_layer.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "transport/aspi_library.h"

namespace {

constexpr const char* kTitle = "Zorvex Firmware Flash Utility";
constexpr int kBadOptions = 2;
constexpr int kRunNotSucceeded = 1;

// The virtual library beside the demo if one was put there, else where the build made it.
std::string LibraryFolder() {
  const QString own = QCoreApplication::applicationDirPath();
#ifdef ZX_ASPI_MODULES_DIR
  if (!QFileInfo::exists(own + "/" + ASPI_LIBRARY_NAME)) return ZX_ASPI_MODULES_DIR "/good";
#endif
  return own.toStdString();
}

// Shows the window and runs the loop; the exit status.
int RunWindow(TForm1& form, const demo::DemoOptions& options) {
  if (form.closedDuringStartup) return options.autoFlash ? kRunNotSucceeded : 0;
  form.show();
  std::optional<demo::AutoPilot> pilot;
  if (options.autoFlash) pilot.emplace(form, std::cout).Start();
  QApplication::exec();
  return pilot && !pilot->Succeeded() ? kRunNotSucceeded : 0;
}

int RunDemo(const demo::DemoOptions& options) {
  platform::LinuxSystemInfo real;
  demo::DemoSystemInfo system(real, options);
  demo::DemoPower power(std::cout);
  platform::DlLibraryLoader libraries(LibraryFolder());
  tk::QtDialogs dialogs;
  std::unique_ptr<demo::DemoDrives> drives;
  emulator::VirtualDeviceLayer noLetters;
  if (options.family == demo::Family::Nt)
    drives = std::make_unique<demo::DemoDrives>(options);
  else
    qputenv("ZX_VIRTUAL_ASPI", QByteArray::fromStdString(demo::LibraryConfig(options)));

  int status = 0;
  {
    Program program(
        Services{system, power, libraries, drives ? drives->Layer() : noLetters, SystemEvents(), dialogs});
    TForm1 form(program);
    status = RunWindow(form, options);
    // No run is going (the window does not close during one); end any wait
    // a drive may still be in before the simulator stops its worker.
    if (drives) drives->Interrupt();
  }
  if (drives) {
    const std::string error = drives->Dump();
    if (!error.empty()) std::cerr << "zorvex-flash-demo: " << error << std::endl;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const demo::DemoParse parse = demo::ParseDemoOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parse.error.empty()) {
    std::cerr << "zorvex-flash-demo: " << parse.error << std::endl;
    return kBadOptions;
  }
  if (parse.options.help) {
    std::cout << demo::DemoUsage();
    return 0;
  }
  if (const std::string error = demo::PrepareDemoFiles(parse.options); !error.empty()) {
    std::cerr << "zorvex-flash-demo: " << error << std::endl;
    return kBadOptions;
  }
  // Qt sees no option: the demo's own are not for it.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Not the display name: X11 would append that to the window's own caption.
  tk::SetApplicationTitle(kTitle);
  try {
    return RunDemo(parse.options);
  } catch (const std::exception& error) {
    ReportException(error);
  }
  return kRunNotSucceeded;
}
