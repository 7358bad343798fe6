#include "app/run_watch.h"

#include "app/main_window.h"
#include "app/program.h"

RunWatch& RunWatch::Of(TForm1& form) {
  if (!form.runWatch) form.runWatch.reset(new RunWatch(form));
  return *form.runWatch;
}

RunWatch::RunWatch(TForm1& form) : form_(form) {
  poll_.SetEnabled(false);
  poll_.SetInterval(kPollMs);
  poll_.OnTimer([this] { Poll(); });
}

void RunWatch::Begin() {
  if (!watching_) lock_ = form_.program.os.power.InhibitShutdown();
  watching_ = true;
  form_.ComboBox1.SetEnabled(false);
  poll_.SetEnabled(true);
}

void RunWatch::Poll() {
  if (!watching_ || form_.program.run.runActive.load()) return;
  poll_.SetEnabled(false);
  watching_ = false;
  lock_.reset();
  form_.ComboBox1.SetEnabled(true);
}
