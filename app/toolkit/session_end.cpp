// What both back-ends share of holding back the session's end: the state,
// kept on the window thread. Each back-end tells its system.
#include "app/toolkit/form.h"
#include "app/toolkit/native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

void Form::HoldSessionEnd(std::string_view reasonCp932) {
  RunOnWindowThread([&] {
    sessionEndHeld_ = true;
    sessionEndReason_ = std::string(reasonCp932);
    native::TellSystemSessionEndHold(*this);
  });
}

void Form::ReleaseSessionEnd() {
  RunOnWindowThread([&] {
    if (!sessionEndHeld_) return;
    sessionEndHeld_ = false;
    sessionEndReason_.clear();
    native::TellSystemSessionEndHold(*this);
  });
}

bool Form::SessionEndHeld() const { return sessionEndHeld_; }

std::string Form::SessionEndReason() const { return sessionEndReason_; }

void Form::OnSessionEnding(std::function<void()> handler) {
  RunOnWindowThread([&] { onSessionEnding_ = std::move(handler); });
}

void Form::RunSessionEnding() {
  if (auto call = onSessionEnding_) call();
}

}  // namespace tk
