// A thread that a loadable library starts for itself and stops while the
// library is being unloaded (the virtual ASPI library's request engine).
//
// Linux: an ordinary thread, joined by the destructor.
// Windows: a library is unloaded under the system's loader lock, and no
// thread can end while another holds it, so a join there would never
// return. The destructor waits only until the body has returned; the thread
// then, in the same system call that reports it, starts waiting forever on
// an event nobody sets, so it never runs the library's code again once the
// library is gone. Each unload leaves one such sleeping thread and one
// event behind until the process ends. At the process's end, when the
// system has already ended the thread, the destructor returns at once.
// For the same lock, a worker must not be made while the library is being
// loaded (from a static constructor): the constructor waits until the new
// thread runs, which the system lets it do only once the load is over. Make
// it at the library's first use instead.
// Threads: constructed and destroyed by the same thread (the one that loads
// and unloads the library); the body runs on the new thread.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class LibraryWorker {
 public:
  // Starts the body (on Windows, returns only once the thread runs); throws
  // std::system_error when no thread can be made.
  explicit LibraryWorker(std::function<void()> body);
  // Waits until the body has returned: the caller must have told it to.
  ~LibraryWorker();
  LibraryWorker(const LibraryWorker&) = delete;
  LibraryWorker& operator=(const LibraryWorker&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace platform
