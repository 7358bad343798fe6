// Lines written by a thread of their own behind a bounded queue, so that
// whoever hands a line over never waits for the file system: a file system
// frozen by a backup agent, a hung network mount or a slow disk holds up
// only the writer. A file that stops taking lines is given up, once, with
// its reason: a write failed, the queue is full, or the write under way has
// waited longer than the stall limit. The lines queued before a stall are
// still written if the file system comes back.
// Threads: construction and destruction by the owner; Add and Stopped from
// any thread; `onStop` is called once, from whichever thread notices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/line_file.h"

namespace platform {

class OsThread;

class QueuedLineFile {
 public:
  struct Limits {
    std::size_t queuedBytes = 8u << 20;  // a run's whole trace is under 100 KiB
    uint32_t stallMs = 5000;
    uint32_t drainMs = 5000;  // how long the destructor waits for the queue
  };

  QueuedLineFile(std::unique_ptr<LineSink> sink, std::function<void(const std::string& reason)> onStop,
                 Limits limits);
  // Waits at most drainMs for the queue to be written, then gives the file
  // up and leaves the writer to finish alone.
  ~QueuedLineFile();
  QueuedLineFile(const QueuedLineFile&) = delete;
  QueuedLineFile& operator=(const QueuedLineFile&) = delete;

  // False once the file has been given up: the line is dropped.
  bool Add(std::string line);
  bool Stopped() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::unique_ptr<OsThread> writer_;
};

}  // namespace platform
