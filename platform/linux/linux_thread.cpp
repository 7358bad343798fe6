#include "platform/thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

struct OsThread::State {
  std::thread thread;
  std::mutex lock;
  std::condition_variable ended;
  bool finished = false;
  bool abandoned = false;
};

namespace {

void RaisePriority() {
  // Per-thread nice value; refused without CAP_SYS_NICE, which is fine.
  const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -1);
}

}  // namespace

std::unique_ptr<OsThread> OsThread::Start(std::function<void()> body, ThreadPriority priority) {
  auto state = std::make_shared<State>();
  try {
    state->thread = std::thread([state, body = std::move(body), priority] {
      if (priority == ThreadPriority::AboveNormal) RaisePriority();
      body();
      std::lock_guard guard(state->lock);
      state->finished = true;
      state->ended.notify_all();
    });
  } catch (const std::system_error&) {
    return nullptr;
  }
  return std::unique_ptr<OsThread>(new OsThread(std::move(state)));
}

OsThread::OsThread(std::shared_ptr<State> state) : state_(std::move(state)) {}

OsThread::~OsThread() {
  if (state_->thread.joinable()) state_->thread.join();
}

bool OsThread::Join(uint32_t ms) {
  {
    std::unique_lock guard(state_->lock);
    if (!state_->ended.wait_for(guard, std::chrono::milliseconds(ms), [&] { return state_->finished; }))
      return false;
  }
  if (state_->thread.joinable()) state_->thread.join();
  return true;
}

bool OsThread::Finished() const {
  std::lock_guard guard(state_->lock);
  return state_->finished;
}

void OsThread::Abandon() {
  std::lock_guard guard(state_->lock);
  state_->abandoned = true;
  if (state_->thread.joinable()) state_->thread.detach();
}

uintptr_t CurrentThreadId() { return static_cast<uintptr_t>(pthread_self()); }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t TickMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace platform
