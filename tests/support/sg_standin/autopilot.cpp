// The operator, for the product binary under the stand-in (the product takes
// no options, so nothing else can press its buttons): when
// ZX_SG_STANDIN_AUTOPILOT is set, it answers every message box, presses Flash
// once it is enabled, and closes the window once the run has ended. It never
// presses Power Off. What it does goes to stdout, one line each:
//   shown          the window is up
//   box <text>     a message box was answered
//   flash          Flash was pressed
//   status <text>  the message area when the run was over, or when no
//                  drive was found (the window is then closed at once)
// Threads: the window thread (a timer of the application).
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPollMs = 50;

struct Pilot {
  bool shown = false;
  bool pressed = false;
  bool over = false;
};

void Say(const char* what, const QString& text) {
  std::printf("%s %s\n", what, qPrintable(text.simplified()));
  std::fflush(stdout);
}

void Step(Pilot& pilot) {
  QWidget* window = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
      Say("box", box->text());
      return box->accept();
    }
    if (widget->isVisible() && widget->findChild<QTextEdit*>()) window = widget;
  }
  if (window == nullptr) return;
  if (!pilot.shown) Say("shown", QString());
  pilot.shown = true;
  if (!pilot.pressed) {
    const QString status = window->findChild<QTextEdit*>()->toPlainText();
    if (status.contains(QLatin1String("not found"))) {
      Say("status", status);
      window->close();
      return;
    }
    for (QPushButton* button : window->findChildren<QPushButton*>())
      if (button->text() == QLatin1String("Flash") && button->isEnabled()) {
        pilot.pressed = true;
        Say("flash", QString());
        button->click();
      }
    return;
  }
  const QString status = window->findChild<QTextEdit*>()->toPlainText();
  if (!pilot.over &&
      // "Flashing Completed" comes just before the run's last word
      (status.contains(QLatin1String("Error")) || status.contains(QLatin1String("is Completed")))) {
    pilot.over = true;
    Say("status", status);
  }
  if (pilot.over) window->close();  // refused while the run is still ending; tried again
}

void StartPilot() {
  if (std::getenv("ZX_SG_STANDIN_AUTOPILOT") == nullptr) return;
  static Pilot pilot;  // as long as the process: the application never outlives it
  auto* timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, [] { Step(pilot); });
  timer->start(kPollMs);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartPilot)
