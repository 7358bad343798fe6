// Operating-system threads on CreateThread. The thread owns a reference to
// the shared state, so an abandoned thread keeps it alive until its body
// returns.
#include <atomic>
#include <memory>

#include "platform/thread.h"
#include "platform/win32/windows_api.h"

namespace platform {

struct OsThread::State {
  std::function<void()> body;
  std::atomic<bool> finished{false};
  HANDLE thread = nullptr;  // closed by the owner when it goes
  bool abandoned = false;   // the owner's only
};

namespace {

DWORD WINAPI ThreadProc(LPVOID parameter) {
  // An exception escaping the body ends the process, as with std::thread.
  std::unique_ptr<std::shared_ptr<OsThread::State>> owned(
      static_cast<std::shared_ptr<OsThread::State>*>(parameter));
  const std::shared_ptr<OsThread::State> state = *owned;
  owned.reset();
  [&]() noexcept { state->body(); }();
  state->body = nullptr;  // whatever the body holds goes with it, as on Linux
  state->finished.store(true);
  return 0;
}

}  // namespace

std::unique_ptr<OsThread> OsThread::Start(std::function<void()> body, ThreadPriority priority) {
  auto state = std::make_shared<State>();
  state->body = std::move(body);
  auto* parameter = new std::shared_ptr<State>(state);
  DWORD id = 0;
  // Suspended until its priority is set, so that the body runs at that
  // priority from its first instruction.
  state->thread = ::CreateThread(nullptr, 0, &ThreadProc, parameter, CREATE_SUSPENDED, &id);
  if (state->thread == nullptr) {
    delete parameter;
    return nullptr;
  }
  // Refused only without the right to raise; the thread then runs at normal priority.
  if (priority == ThreadPriority::AboveNormal)
    (void)::SetThreadPriority(state->thread, THREAD_PRIORITY_ABOVE_NORMAL);
  if (::ResumeThread(state->thread) == static_cast<DWORD>(-1)) {
    // It has run nothing yet, so ending it leaves nothing half done.
    ::TerminateThread(state->thread, 0);
    ::WaitForSingleObject(state->thread, INFINITE);
    ::CloseHandle(state->thread);
    delete parameter;
    return nullptr;
  }
  return std::unique_ptr<OsThread>(new OsThread(std::move(state)));
}

OsThread::OsThread(std::shared_ptr<State> state) : state_(std::move(state)) {}

OsThread::~OsThread() {
  if (!state_->abandoned) ::WaitForSingleObject(state_->thread, INFINITE);
  ::CloseHandle(state_->thread);  // an abandoned thread runs on without it
}

bool OsThread::Join(uint32_t ms) { return ::WaitForSingleObject(state_->thread, ms) == WAIT_OBJECT_0; }

bool OsThread::Finished() const { return state_->finished.load(); }

void OsThread::Abandon() { state_->abandoned = true; }

uintptr_t CurrentThreadId() { return ::GetCurrentThreadId(); }

void SleepMs(uint32_t ms) { ::Sleep(ms); }

// GetTickCount, not GetTickCount64: the program keeps to the oldest systems' calls.
uint32_t TickMs() { return ::GetTickCount(); }

}  // namespace platform
