#include <system_error>

#include "platform/library_worker.h"
#include "platform/win32/windows_api.h"

namespace platform {

using SignalAndWait = DWORD(WINAPI*)(HANDLE, HANDLE, DWORD, BOOL);

struct LibraryWorker::State {
  std::function<void()> body;
  // Looked up by the loading thread: the worker must not take the loader
  // lock, which an unload holds while it waits for the worker.
  SignalAndWait signalAndWait = nullptr;
  HANDLE thread = nullptr;
  HANDLE started = nullptr;  // set as the thread starts running
  HANDLE done = nullptr;     // set as the body returns
  HANDLE never = nullptr;    // never set; the parked thread waits on it for good
};

namespace {

// What the parked thread needs, on its own stack: the owner frees the state
// once the body has returned.
struct Parking {
  HANDLE done;
  HANDLE never;
  SignalAndWait signalAndWait;
};

DWORD WINAPI WorkerProc(LPVOID parameter) {
  auto* state = static_cast<LibraryWorker::State*>(parameter);
  const Parking parking{state->done, state->never, state->signalAndWait};
  ::SetEvent(state->started);
  [&]() noexcept { state->body(); }();
  state->body = nullptr;
  // Signal and wait in one call: no instruction of the library runs after
  // the owner may have gone on to unload it. The 95/98/Me family lacks the
  // call; there the signal and the wait are two calls, with a moment between
  // them in which an unload could still meet this thread (a test and demo
  // library only).
  // A stub that fails (WAIT_FAILED, nothing signalled) takes the two calls
  // too; else the unload would wait for a signal that never comes.
  if (parking.signalAndWait == nullptr ||
      parking.signalAndWait(parking.done, parking.never, INFINITE, FALSE) == WAIT_FAILED) {
    ::SetEvent(parking.done);
    ::WaitForSingleObject(parking.never, INFINITE);
  }
  for (;;) ::Sleep(INFINITE);  // only if the wait above could not be made
}

void Fail() { throw std::system_error(static_cast<int>(::GetLastError()), std::system_category()); }

}  // namespace

LibraryWorker::LibraryWorker(std::function<void()> body) : state_(std::make_unique<State>()) {
  state_->body = std::move(body);
  state_->signalAndWait = reinterpret_cast<SignalAndWait>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SignalObjectAndWait")));
  state_->started = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  state_->done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  state_->never = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (state_->started != nullptr && state_->done != nullptr && state_->never != nullptr) {
    DWORD id = 0;
    state_->thread = ::CreateThread(nullptr, 0, &WorkerProc, state_.get(), 0, &id);
  }
  if (state_->thread == nullptr) {
    const DWORD error = ::GetLastError();
    for (HANDLE h : {state_->started, state_->done, state_->never})
      if (h != nullptr) ::CloseHandle(h);
    ::SetLastError(error);
    Fail();
  }
  // A thread that has not started yet would start only after an unload
  // had finished, in code that is gone.
  const HANDLE starts[] = {state_->started, state_->thread};
  ::WaitForMultipleObjects(2, starts, FALSE, INFINITE);
  ::CloseHandle(state_->started);
  state_->started = nullptr;
}

LibraryWorker::~LibraryWorker() {
  const HANDLE ends[] = {state_->done, state_->thread};
  ::WaitForMultipleObjects(2, ends, FALSE, INFINITE);
  ::CloseHandle(state_->thread);
  ::CloseHandle(state_->done);
  // state_->never stays open: the parked thread waits on it.
}

}  // namespace platform
