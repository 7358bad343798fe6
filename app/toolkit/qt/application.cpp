#include "app/toolkit/application.h"

#include <QApplication>
#include <QFileInfo>
#include <mutex>
#include <optional>

#include "app/toolkit/qt/qt_text.h"

namespace tk {

namespace {

std::mutex titleLock;
std::optional<std::string> title;

}  // namespace

void SetApplicationTitle(std::string_view cp932) {
  std::lock_guard guard(titleLock);
  title = std::string(cp932);
}

std::string ApplicationTitle() {
  {
    std::lock_guard guard(titleLock);
    if (title) return *title;
  }
  return ToCp932(QGuiApplication::applicationDisplayName());
}

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
