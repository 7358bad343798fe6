// A FIFO opened for writing without waiting for a reader: it opens only
// while some process reads the FIFO (opening it to write would otherwise
// block until one comes). Held open until destroyed, so that the reader
// does not see the end of its input between this check and the real
// writer's own open, which then finds the reader there and never waits.
// Windows has no FIFOs in the file system: nothing ever opens there.
// Threads: one object per thread.
#pragma once

#include <string>

namespace platform {

class FifoHold {
 public:
  explicit FifoHold(const std::string& path);
  ~FifoHold();
  FifoHold(const FifoHold&) = delete;
  FifoHold& operator=(const FifoHold&) = delete;

  // Open: some process reads the FIFO.
  bool HasReader() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform
