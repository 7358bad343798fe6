#include "app/toolkit/application.h"

#include <QApplication>
#include <QFileInfo>

#include "app/toolkit/native.h"
#include "app/toolkit/qt/qt_text.h"

namespace tk {

std::string native::ToolkitApplicationName() { return ToCp932(QGuiApplication::applicationDisplayName()); }

namespace {

// Qt keeps a reference to the count: it must outlive the application.
int argumentCount = 1;
char programName[] = "zorvex-flash";
char* arguments[] = {programName, nullptr};

}  // namespace

struct Application::State {
  QApplication app{argumentCount, arguments};
};

Application::Application() : state_(std::make_unique<State>()) {}

Application::~Application() = default;

int Application::Run() { return QApplication::exec(); }

void ExitMessageLoop(int status) { QCoreApplication::exit(status); }

std::string ProgramFileName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
}

}  // namespace tk
