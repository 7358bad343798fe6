// The program's entry: the real services, the window (whose construction
// runs the start-up sequence) and the message loop. The program takes no
// options.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "app/entry/application_setup.h"
#include "app/entry/exception_report.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/toolkit/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/logind/logind_power.h"
#include "platform/sg_device_layer.h"
#include "platform/system_info.h"

namespace {

void Run() {
  platform::LinuxSystemInfo system;
  platform::LogindPower power;
  // The ASPI library is looked for beside the program first, as on its home platform.
  platform::DlLibraryLoader libraries(QCoreApplication::applicationDirPath().toStdString());
  platform::SgDeviceLayer devices;
  tk::QtDialogs dialogs;
  Program program(Services{system, power, libraries, devices, SystemEvents(), dialogs});
  TForm1 form(program);
  if (form.closedDuringStartup) return;
  form.show();
  QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpApplication();
  // Without the conversion every text would be empty: say so and stop.
  if (const std::string problem = CheckTextConversion(); !problem.empty()) {
    std::fprintf(stderr, "zorvex-flash: %s\n", problem.c_str());
    QMessageBox::critical(nullptr, kApplicationTitle, QString::fromStdString(problem));
    return 1;
  }
  try {
    Run();
  } catch (const std::exception& error) {
    ReportException(error);
  }
  return 0;
}
