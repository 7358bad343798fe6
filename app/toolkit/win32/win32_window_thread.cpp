// The Win32 back-end's part of the hand-over: which thread is the window
// thread, and the wake-up, a message posted to the hand-over window. Posted
// messages reach that window also while a modal loop runs (a message box,
// a menu), so a hand-over never waits for the operator.
#include "app/toolkit/hand_over_queue.h"
#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

bool OnWindowThread() {
  const HWND window = HandOverWindow();
  return window == nullptr || ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

bool WindowThreadReachable() { return HandOverWindow() != nullptr; }

void WakeWindowThread() { ::PostMessageA(HandOverWindow(), WM_ZX_HANDOVER, 0, 0); }

}  // namespace tk
