// Operating-system threads with a priority hint, a bounded join and a way to
// abandon a thread that does not stop.
//
// Linux cannot kill one thread of a process safely. Abandon() detaches the
// thread instead: the body keeps running until it returns by itself, so a
// body that may be abandoned must check, after every blocking call, whether
// it still has any business touching shared state (see the simulator's
// worker generations).
//
// Windows: the threads are CreateThread threads, the priority hint is
// THREAD_PRIORITY_ABOVE_NORMAL, set before the body starts, and Abandon()
// behaves as on Linux: the body runs on, and the owner's destructor no
// longer waits for it. TerminateThread is not used, although the system offers it: a thread
// killed while it holds the heap's lock or a mutex would hang the whole
// process at its next allocation, and one killed inside a device call gives
// no certainty about what reached the drive. Join(ms) on Windows waits for
// the thread itself to end, a moment after Finished() turns true.
// Threads: Start, Join, Finished and Abandon are for the owning thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

enum class ThreadPriority {
  Normal,
  // Above normal: raised as far as the process may (a lower nice value needs
  // CAP_SYS_NICE); without that right the thread runs at normal priority.
  AboveNormal,
};

class OsThread {
 public:
  // Starts the body at once; nullptr when the thread cannot be created.
  static std::unique_ptr<OsThread> Start(std::function<void()> body,
                                         ThreadPriority priority = ThreadPriority::Normal);
  ~OsThread();  // joins, unless abandoned
  OsThread(const OsThread&) = delete;
  OsThread& operator=(const OsThread&) = delete;

  // Waits at most ms for the body to return; true when it has.
  bool Join(uint32_t ms);
  bool Finished() const;
  // Lets the thread run on alone; it cleans up after itself when the body returns.
  void Abandon();

  struct State;

 private:
  explicit OsThread(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};

// The calling thread sleeps for ms milliseconds.
void SleepMs(uint32_t ms);

// Tells the calling thread from every other thread alive. Threads: any.
uintptr_t CurrentThreadId();

// Milliseconds of a clock that never goes back and runs on while the
// process is stopped; it wraps, so only differences of a few weeks mean
// anything. Threads: any.
uint32_t TickMs();

}  // namespace platform
