#include "platform/queued_line_file.h"

#include <deque>

#include "platform/lock.h"
#include "platform/standard_streams.h"
#include "platform/thread.h"

namespace platform {

struct QueuedLineFile::State {
  Mutex lock;
  ConditionVariable changed;
  std::unique_ptr<LineSink> sink;
  std::function<void(const std::string&)> onStop;
  Limits limits;
  std::deque<std::string> queue;  // guarded by lock, as is all below
  std::size_t queuedBytes = 0;
  bool writing = false;
  uint32_t writeStartMs = 0;
  bool stopped = false;
  bool closing = false;
};

namespace {

using State = QueuedLineFile::State;

// Marks the file given up; the caller tells, outside the lock, when true.
// After a failed write nothing more is written: a file that lost a line
// must not go on as if it had not. Otherwise what was queued still goes,
// a whole beginning of the lines.
bool GiveUp(State& state, bool writeFailed) {
  if (state.stopped) return false;
  state.stopped = true;
  if (writeFailed) {
    state.queue.clear();
    state.queuedBytes = 0;
  }
  return true;
}

// Writes one line; false when none is left (the file is closing, or it was given up).
bool WriteNext(State& state) {
  std::string line;
  {
    UniqueLock guard(state.lock);
    state.changed.Wait(guard, [&] { return !state.queue.empty() || state.closing || state.stopped; });
    if (state.queue.empty()) return false;
    line = std::move(state.queue.front());
    state.queue.pop_front();
    state.queuedBytes -= line.size();
    state.writing = true;
    state.writeStartMs = TickMs();
  }
  std::string error;
  const bool written = state.sink->WriteLine(line, error);
  bool tell = false;
  {
    LockGuard guard(state.lock);
    state.writing = false;
    if (!written) tell = GiveUp(state, true);
    state.changed.NotifyAll();
  }
  if (tell) state.onStop(error);
  return written;
}

}  // namespace

QueuedLineFile::QueuedLineFile(std::unique_ptr<LineSink> sink, std::function<void(const std::string&)> onStop,
                               Limits limits)
    : state_(std::make_shared<State>()) {
  state_->sink = std::move(sink);
  state_->onStop = std::move(onStop);
  state_->limits = limits;
  // The body keeps the state: an abandoned writer outlives this object.
  writer_ = OsThread::Start([state = state_] {
    while (WriteNext(*state)) {
    }
  });
}

QueuedLineFile::~QueuedLineFile() {
  {
    LockGuard guard(state_->lock);
    state_->closing = true;
    state_->changed.NotifyAll();
  }
  if (!writer_ || writer_->Join(state_->limits.drainMs)) return;
  writer_->Abandon();
  bool tell;
  {
    LockGuard guard(state_->lock);
    tell = GiveUp(*state_, false);
  }
  if (tell) state_->onStop(Formatted("its file system has not taken a line for %u s", state_->limits.drainMs / 1000));
}

bool QueuedLineFile::Add(std::string line) {
  std::string reason;
  {
    LockGuard guard(state_->lock);
    if (state_->stopped) return false;
    if (!writer_) {
      // No thread could be made: the lines are written here, as they come.
      std::string error;
      if (state_->sink->WriteLine(line, error)) return true;
      reason = error;
    } else if (state_->writing && TickMs() - state_->writeStartMs > state_->limits.stallMs) {
      reason = Formatted("its file system has not taken a line for %u s", (TickMs() - state_->writeStartMs) / 1000);
    } else if (state_->queuedBytes + line.size() > state_->limits.queuedBytes) {
      reason = "the lines came faster than its file system took them";
    } else {
      state_->queuedBytes += line.size();
      state_->queue.push_back(std::move(line));
      state_->changed.NotifyAll();
      return true;
    }
    if (!GiveUp(*state_, !writer_)) return false;
  }
  state_->onStop(reason);
  return false;
}

bool QueuedLineFile::Stopped() const {
  LockGuard guard(state_->lock);
  return state_->stopped;
}

}  // namespace platform
