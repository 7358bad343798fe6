#include "app/entry/display_loss.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/entry/run_without_window.h"
#include "platform/standard_streams.h"

namespace {

std::atomic<DisplayLossGuard*> current{nullptr};
QtMessageHandler previous = nullptr;

// Qt's own words when the connection breaks (X11: qxcbconnection; Wayland:
// qwaylanddisplay); the way out follows the warning at once.
bool SaysConnectionBroke(const QString& text) {
  return text.contains(QLatin1String("X11 connection broke")) ||
         text.contains(QLatin1String("Wayland connection broke")) ||
         text.contains(QLatin1String("Wayland connection experienced a fatal error"));
}

void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (previous)
    previous(type, context, text);
  else
    platform::WriteToStderr(text.toLocal8Bit().toStdString() + "\n");
  if (type != QtDebugMsg && type != QtInfoMsg && SaysConnectionBroke(text))
    if (DisplayLossGuard* guard = current.load()) guard->DisplayLost();
}

void OnExit() {
  if (DisplayLossGuard* guard = current.load()) guard->DisplayLost();
}

}  // namespace

DisplayLossGuard::DisplayLossGuard(const char* program, const Program& state, std::function<void()> finish)
    : program_(program), state_(state), finish_(std::move(finish)) {
  static const bool hooked = [] {
    previous = qInstallMessageHandler(OnMessage);
    return std::atexit(OnExit) == 0;
  }();
  (void)hooked;
  current.store(this);
}

DisplayLossGuard::~DisplayLossGuard() {
  DisplayLossGuard* self = this;
  current.compare_exchange_strong(self, nullptr);
}

void DisplayLossGuard::DisplayLost() { FinishRunWithoutWindow(program_, "the display is gone", state_, finish_); }
