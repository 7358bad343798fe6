// The virtual drive's USB port: a FunctionFS function (mass storage, SCSI
// transparent command set, bulk-only transport) whose endpoint 0 is served
// on a thread of its own and whose two bulk endpoints carry the bulk-only
// transport's commands to a BulkOnlyDrive, one at a time.
//
// A reset drops the command in hand: after a mass-storage reset or a port
// reset (the host's way out of a command it gave up on) the reply of the
// command the drive was working on is never sent, and a data or status stage
// already waiting on an endpoint is withdrawn; otherwise that reply would
// answer the host's next command and every later one would be off by one.
// Threads: Open and Serve on one thread (Serve runs until the function is
// unmounted or its endpoints fail for good); endpoint 0 on its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "emulator/bulk_only.h"

namespace emulator {

class FunctionFsPort {
 public:
  // `onReset` is called on endpoint 0's thread at each reset, so that the
  // drive can give up a command it is still working on.
  explicit FunctionFsPort(std::function<void()> onReset) : onReset_(std::move(onReset)) {}
  ~FunctionFsPort();
  FunctionFsPort(const FunctionFsPort&) = delete;
  FunctionFsPort& operator=(const FunctionFsPort&) = delete;

  // Writes the descriptors and strings into `folder`/ep0 (a mounted
  // FunctionFS instance), opens the bulk endpoints and starts serving
  // endpoint 0. An empty string, or one line naming what failed.
  std::string Open(const std::string& folder);
  // The command loop; returns once the endpoints are gone (the function unmounted).
  void Serve(BulkOnlyDrive& drive);

 private:
  void ServeControl();
  bool HandleSetup(const void* request);
  // Reads or writes exactly `length` bytes; false when the endpoint failed
  // or a reset came (and withdrew the transfer).
  bool Move(int fd, uint8_t* bytes, std::size_t length, bool write, uint64_t since);

  const std::function<void()> onReset_;
  int ep0_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::thread control_;
  unsigned long commandThread_ = 0;  // pthread_t of Serve's thread
  std::atomic<uint64_t> resets_{0};
  std::atomic<uint64_t> taken_{0};  // the resets the command loop has taken in
  std::atomic<bool> serving_{false};
};

}  // namespace emulator
