#include "app/run_watch.h"

#include "app/main_window.h"
#include "app/program.h"

RunWatch& RunWatch::Of(TForm1& form) {
  if (auto* watch = form.findChild<RunWatch*>(QString(), Qt::FindDirectChildrenOnly)) return *watch;
  return *new RunWatch(form);  // owned by the window
}

RunWatch::RunWatch(TForm1& form) : QObject(&form), form_(form) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &RunWatch::Poll);
}

void RunWatch::Begin() {
  if (!watching_) lock_ = form_.program.os.power.InhibitShutdown();
  watching_ = true;
  form_.ComboBox1.SetEnabled(false);
  poll_.start();
}

void RunWatch::Poll() {
  if (!watching_ || form_.program.run.runActive.load()) return;
  poll_.stop();
  watching_ = false;
  lock_.reset();
  form_.ComboBox1.SetEnabled(true);
}
