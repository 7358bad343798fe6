#include "app/run_display.h"

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"

namespace {

// The slices of the run's end wait, so that an abandoned window (whose
// posted calls are dropped) is seen soon.
constexpr uint32_t kAnswerSliceMs = 50;

}  // namespace

struct RunDisplay::Pending {
  bool buttonsDisabled = false;
  std::optional<bool> flashEnabled;
  bool status = false;
  bool paintNow = false;
  std::optional<std::string> ownPath;
  bool progressStopped = false;
  bool powerOffOffered = false;

  bool Any() const {
    return buttonsDisabled || flashEnabled || status || ownPath || progressStopped || powerOffOffered;
  }
};

struct RunDisplay::Shared {
  platform::Mutex lock;
  platform::ConditionVariable caughtUp;
  Program* program;  // guarded by lock; null once the window has gone
  TForm1* form;      // guarded by lock
  Pending pending;   // guarded by lock
  bool posted = false;    // a call is in the window thread's queue; guarded by lock
  bool applying = false;  // the window thread is carrying a step out; guarded by lock
};

RunDisplay::RunDisplay(Program& program, TForm1& form) : shared_(std::make_shared<Shared>()) {
  shared_->program = &program;
  shared_->form = &form;
}

RunDisplay::~RunDisplay() {
  platform::LockGuard guard(shared_->lock);
  shared_->program = nullptr;
  shared_->form = nullptr;
}

void RunDisplay::StatusChanged(bool paintNow) {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.status = true;
    shared_->pending.paintNow = shared_->pending.paintNow || paintNow;
  }
  Changed();
}

void RunDisplay::ButtonsDisabled() {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.buttonsDisabled = true;
  }
  Changed();
}

void RunDisplay::FlashEnabled(bool enabled) {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.flashEnabled = enabled;
  }
  Changed();
}

void RunDisplay::OwnPathShown(const std::string& path) {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.ownPath = path;
  }
  Changed();
}

void RunDisplay::ProgressStopped() {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.progressStopped = true;
  }
  Changed();
}

void RunDisplay::PowerOffOffered() {
  {
    platform::LockGuard guard(shared_->lock);
    shared_->pending.powerOffOffered = true;
  }
  Changed();
}

// On the window thread, at once, as a window change is; from a run, posted.
void RunDisplay::Changed() {
  if (tk::OnWindowThread())
    ApplyTo(*shared_);
  else
    Post();
}

// One call in the queue at a time: a window that is behind gets one call
// for everything, however long it was away.
void RunDisplay::Post() {
  {
    platform::LockGuard guard(shared_->lock);
    if (shared_->posted) return;
    shared_->posted = true;
  }
  tk::PostToWindowThread([shared = shared_] {
    {
      platform::LockGuard guard(shared->lock);
      shared->posted = false;
      if (shared->form == nullptr) return;
    }
    ApplyTo(*shared);
  });
}

void RunDisplay::Apply() { ApplyTo(*shared_); }

// The window is destroyed on the window thread, this thread: what the lock
// said of it holds until the step is done.
void RunDisplay::ApplyTo(Shared& shared) {
  Pending now;
  Program* program;
  TForm1* form;
  {
    platform::LockGuard guard(shared.lock);
    now = std::move(shared.pending);
    shared.pending = Pending{};
    shared.applying = true;
    program = shared.program;
    form = shared.form;
  }
  if (now.Any() && form != nullptr) {
    if (now.buttonsDisabled) {
      form->Button1.SetEnabled(false);
      form->Button2.SetEnabled(false);
    }
    if (now.flashEnabled) form->Button1.SetEnabled(*now.flashEnabled);
    if (now.status) {
      const std::string text = program->status.MessageBuffer();
      if (now.paintNow)
        form->RichEdit1.ShowNow(text);
      else
        form->RichEdit1.SetText(text);
    }
    if (now.ownPath) form->Label13.SetCaption(tk::Cp932FromSystem(*now.ownPath));
    if (now.progressStopped) form->Timer1.SetEnabled(false);
    // Enabled, captioned and armed in one step: no click reaches Button2
    // between its enabling and the arming.
    if (now.powerOffOffered) {
      form->Button2.SetEnabled(true);
      form->Button2.SetCaption(program->run.Japanese() ? tk::Cp932(u8"電源オフ") : std::string("Power Off"));
      program->run.powerOffArmed.store(POWER_OFF_ARMED);
    }
  }
  platform::LockGuard guard(shared.lock);
  shared.applying = false;
  shared.caughtUp.NotifyAll();
}

bool RunDisplay::AwaitWindow() {
  const uint32_t start = platform::TickMs();
  platform::UniqueLock guard(shared_->lock);
  while (shared_->pending.Any() || shared_->applying) {
    if (tk::WindowAbandoned() || platform::TickMs() - start > answerMs_) return false;
    shared_->caughtUp.WaitFor(guard, kAnswerSliceMs);
  }
  return true;
}
