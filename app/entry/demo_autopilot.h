// --auto-flash: presses Flash once the window is up and, when the run has
// ended (and a successful run's bar has filled), presses Power Off, or
// chooses Exit when Power Off is not offered. Says on stdout how it went.
// Threads: window thread.
#pragma once

#include "app/entry/demo_services.h"
#include "app/toolkit/timer.h"

class TForm1;

namespace demo {

class AutoPilot {
 public:
  AutoPilot(TForm1& form, DemoSay say);
  // From the next pass of the event loop on.
  void Start();
  bool Succeeded() const { return succeeded_; }

 private:
  void Press();
  void Poll();
  void Report(const char* what);

  TForm1& form_;
  DemoSay say_;
  tk::Timer poll_;
  bool succeeded_ = false;
};

}  // namespace demo
