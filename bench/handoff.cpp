#include "bench/handoff.h"

namespace bench {

BareHandoff::BareHandoff() : worker_([this] { Serve(); }) {}

BareHandoff::~BareHandoff() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  requested_.notify_one();
  worker_.join();
}

// Each side wakes the other after letting go of the lock, so the woken
// thread does not block on it at once: the quickest plain hand-over.
void BareHandoff::Run() {
  {
    std::lock_guard guard(lock_);
    pending_ = true;
    done_ = false;
  }
  requested_.notify_one();
  std::unique_lock guard(lock_);
  completed_.wait(guard, [&] { return done_; });
}

void BareHandoff::Serve() {
  std::unique_lock guard(lock_);
  for (;;) {
    requested_.wait(guard, [&] { return pending_ || stop_; });
    if (stop_) return;
    pending_ = false;
    done_ = true;
    guard.unlock();
    completed_.notify_one();
    guard.lock();
  }
}

}  // namespace bench
