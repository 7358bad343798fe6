// The queue behind RunOnWindowThread and PostToWindowThread, shared by the
// back-ends: calls go through it, and the back-end's message loop carries
// only a wake-up that holds no data. Each back-end supplies the two hooks
// below and runs RunNextHandOver once per wake-up.
// Threads: RunNextHandOver on the window thread; the hooks from any thread.
#pragma once

namespace tk {

// Runs the oldest queued hand-over, if any.
void RunNextHandOver();

// Back-end: whether a message loop exists to hand calls to. A call handed
// over before it does is dropped.
bool WindowThreadReachable();
// Back-end: has the window thread run RunNextHandOver once, later.
void WakeWindowThread();

}  // namespace tk
