// The natural baseline of a drive command: one bare hand-over to another
// thread and back, with a mutex and two condition variables, as a request
// queued for a worker that signals its completion.
// Threads: Run from one thread at a time; the worker is the object's own.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace bench {

class BareHandoff {
 public:
  BareHandoff();
  ~BareHandoff();
  BareHandoff(const BareHandoff&) = delete;
  BareHandoff& operator=(const BareHandoff&) = delete;

  void Run();  // hands one request over and waits for its completion

 private:
  void Serve();

  std::mutex lock_;
  std::condition_variable requested_;
  std::condition_variable completed_;
  bool pending_ = false;
  bool done_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace bench
