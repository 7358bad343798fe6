#include "app/entry/display_opening.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/exit_process.h"
#include "platform/standard_streams.h"

namespace {

// A message held back; the context's names are static texts of Qt's.
struct Held {
  QtMsgType type;
  const char* file;
  int line;
  const char* function;
  const char* category;
  QString text;
};

const char* program = "program";
QtMessageHandler previous = nullptr;
// Window thread only: Qt reports these while opening, on this thread.
std::unique_ptr<std::vector<Held>> held;

QString DisplayName() {
  const QByteArray x = qgetenv("DISPLAY");
  const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
  if (x.isEmpty() && wayland.isEmpty()) return QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
  QString name;
  if (!x.isEmpty()) name += QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(x);
  if (!wayland.isEmpty())
    name += (name.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("WAYLAND_DISPLAY=") +
            QString::fromLocal8Bit(wayland);
  return name;
}

void HoldBack(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (held) held->push_back({type, context.file, context.line, context.function, context.category, text});
    return;
  }
  platform::SayLine("%s: needs a graphical display, and none could be opened (%s)", program,
               qPrintable(DisplayName()));
  platform::ExitProcess(1);
}

}  // namespace

DisplayOpening::DisplayOpening(const char* name) {
  program = name;
  held = std::make_unique<std::vector<Held>>();
  previous = qInstallMessageHandler(HoldBack);
}

DisplayOpening::~DisplayOpening() { Done(); }

void DisplayOpening::Done() {
  if (done_) return;
  done_ = true;
  qInstallMessageHandler(previous);
  const std::unique_ptr<std::vector<Held>> messages = std::move(held);
  for (const Held& m : *messages)
    qt_message_output(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.text);
}
