#include "app/toolkit/qt/wake_up.h"

#include "app/toolkit/hand_over_queue.h"

#include <QCoreApplication>
#include <atomic>

namespace tk {

// Made on the window thread as the application object is made, before any
// other thread can ask for it, and kept for the process's life. The atomic
// hands it to the other threads.
namespace {
std::atomic<WakeUp*> wakeUp{nullptr};
void MakeWakeUp() { wakeUp.store(new WakeUp, std::memory_order_release); }
}  // namespace
Q_COREAPP_STARTUP_FUNCTION(MakeWakeUp)

WakeUp* WakeUp::Instance() { return wakeUp.load(std::memory_order_acquire); }

void WakeUp::Run() { RunNextHandOver(); }

}  // namespace tk
