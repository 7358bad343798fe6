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

void BareHandoff::Run() {
  std::unique_lock guard(lock_);
  pending_ = true;
  done_ = false;
  requested_.notify_one();
  completed_.wait(guard, [&] { return done_; });
}

void BareHandoff::Serve() {
  std::unique_lock guard(lock_);
  for (;;) {
    requested_.wait(guard, [&] { return pending_ || stop_; });
    if (stop_) return;
    pending_ = false;
    done_ = true;
    completed_.notify_one();
  }
}

}  // namespace bench
