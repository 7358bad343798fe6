// Control operations called from another thread run on the window thread.
//
// RunOnWindowThread runs the call at once on the window thread; from any
// other thread it hands the call to the window thread and blocks until it
// has run, so calls from one thread land in their order. Rule that keeps
// this free of deadlock: the window thread never blocks waiting for another
// thread that may itself be in RunOnWindowThread (it never joins the flash
// thread; a close during a run is refused instead).
#pragma once

#include <functional>

namespace tk {

bool OnWindowThread();
void RunOnWindowThread(const std::function<void()>& call);

}  // namespace tk
