#include "app/run_watch.h"

#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/toolkit/application.h"
#include "platform/termination_requests.h"
#include "transport/aspisim.h"
#include "platform/standard_streams.h"

RunWatch& RunWatch::Of(TForm1& form) {
  if (!form.runWatch) form.runWatch.reset(new RunWatch(form));
  return *form.runWatch;
}

RunWatch::RunWatch(TForm1& form) : form_(form) {
  poll_.SetEnabled(false);
  poll_.SetInterval(kPollMs);
  poll_.OnTimer([this] { Poll(); });
}

namespace {

// One line when the run goes on without part of the inhibitor lock.
void SayWhatIsNotInhibited(const platform::InhibitLock* lock) {
  if (lock == nullptr || lock->Empty()) {
    platform::SayLine(
                 "%s: neither logind nor a desktop portal answered: nothing keeps the machine from sleeping, "
                 "shutting down or logging out during the run\n",
                 tk::ProgramFileName().c_str());
  } else if (const std::string missing = lock->Missing(); !missing.empty()) {
    platform::SayLine("%s: the run goes on without a lock against: %s", tk::ProgramFileName().c_str(),
                 missing.c_str());
  }
}

}  // namespace

void RunWatch::Begin() {
  platform::DeferTermination();
  if (!watching_) {
    // Asked for without waiting: the run starts now, and what the lock
    // lacks is said once the system has answered.
    lock_ = form_.program.os.power.InhibitShutdown();
    lockTold_ = false;
    TellLockOnceSettled();
  }
  watching_ = true;
  form_.HoldSessionEnd(SessionEndReason(form_.program));
  form_.ComboBox1.SetEnabled(false);
  poll_.SetEnabled(true);
}

bool RunWatch::LockDrive() {
  Program& program = form_.program;
  if (!program.simulator) return true;
  std::string refusal;
  driveLock_ = program.simulator->LockAdapter(program.run.Selected().haId, refusal);
  if (driveLock_) return true;
  platform::SayLine("%s: %s; the run was not started and nothing was sent to the drive",
               tk::ProgramFileName().c_str(), refusal.c_str());
  return false;
}

void RunWatch::TellLockOnceSettled() {
  if (lockTold_ || (lock_ && !lock_->Settled())) return;
  lockTold_ = true;
  SayWhatIsNotInhibited(lock_.get());
}

void RunWatch::Poll() {
  if (!watching_) return;
  // Unsaid when the run ends first: nothing is at stake any more.
  TellLockOnceSettled();
  if (form_.program.run.runActive.load()) return;
  // The window shows the run's last state before anything acts on its end.
  form_.view.CatchUp();
  poll_.SetEnabled(false);
  watching_ = false;
  lock_.reset();
  driveLock_.reset();
  form_.ReleaseSessionEnd();
  form_.ComboBox1.SetEnabled(true);
  // A request to end the program that came during the run is carried out
  // now: the window closes as by the operator (its close handler unloads the
  // library), and the message loop ends with the request's status.
  // A stop that came during the run is carried out in EndDeferral.
  const Program& program = form_.program;
  if (const int request = platform::EndDeferral(RunOutcomeInEnglish(program)); request != 0) {
    form_.Close();
    tk::ExitMessageLoop(
        platform::ExitStatusAfterRequest(request, program.run.completion.load() == COMPLETION_SUCCESS));
  }
}
