// The window thread's view of a flash run. From the flash button's click
// until the flash thread has cleared program.run.runActive it holds the
// system's shutdown inhibitor (so the machine neither sleeps nor shuts down
// in the middle of a write), defers requests to end the program
// (platform/termination_requests.h; one that came ends the message loop
// once the run is over) and keeps the drive list disabled (so no pick can
// change the selection or enable the flash button under the run).
//
// The end of a run is seen by polling runActive: the flash thread may stop
// Timer1 itself on a failure, so the progress ticks cannot be relied on to
// notice it, and the thread must never wait for the window thread at its end.
//
// One watch per window, kept by it (made by Of at first use).
// Threads: window thread only.
#pragma once

#include <memory>

#include "app/toolkit/timer.h"
#include "platform/device_layer.h"
#include "platform/power.h"

class TForm1;

class RunWatch {
 public:
  static constexpr int kPollMs = 50;

  static RunWatch& Of(TForm1& form);

  // Asks for the inhibitor without waiting for it (a run goes on without one
  // where the system offers none; what it lacks is said on stderr once
  // known), disables the drive list and starts watching.
  void Begin();
  // Locks the selected drive's device against other programs until the run
  // ends. False, after one line on stderr saying who holds it, when another
  // program does: the run must then not start. True without a simulator
  // (the library back-end offers no lock).
  bool LockDrive();
  // Ends the watch if the run is over: releases the inhibitor, enables the
  // drive list again. Nothing while the run goes on or when not watching.
  void Poll();
  bool Watching() const { return watching_; }
  bool HoldsInhibitor() const { return lock_ != nullptr; }

 private:
  explicit RunWatch(TForm1& form);
  void TellLockOnceSettled();

  TForm1& form_;
  tk::Timer poll_;
  std::unique_ptr<platform::InhibitLock> lock_;
  std::unique_ptr<platform::DeviceLock> driveLock_;
  bool watching_ = false;
  bool lockTold_ = false;
};
