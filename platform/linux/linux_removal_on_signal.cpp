#include "platform/removal_on_signal.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

enum SlotState : int { FREE, FILLING, ARMED };

struct Slot {
  std::atomic<int> state{FREE};
  char path[4096];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the table without a lock");

std::array<Slot, 16> slots;

// Every signal whose default action ends the process and that can be caught.
constexpr std::array<int, 21> ENDING_SIGNALS = {
    SIGHUP, SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,
    SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGSYS};

sigset_t EndingSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : ENDING_SIGNALS) sigaddset(&set, signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&set, signal);
  return set;
}

extern "C" void RemoveThenEnd(int signal) {
  const int savedErrno = errno;
  RemoveRegisteredFiles();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  // Blocked while this handler runs: delivered, with its default action, as
  // it returns. A fault raised by the program itself would recur there anyway.
  ::raise(signal);
  errno = savedErrno;
}

void Catch(int signal, const sigset_t& blockedInHandler) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = RemoveThenEnd;
  action.sa_mask = blockedInHandler;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallRemovalOnSignal() {
  const sigset_t all = EndingSet();
  for (const int signal : ENDING_SIGNALS) Catch(signal, all);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) Catch(signal, all);
}

void RemoveRegisteredFiles() {
  for (Slot& slot : slots)
    if (slot.state.load(std::memory_order_acquire) == ARMED) ::unlink(slot.path);
}

void IgnoreClosedPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
  if (path.empty() || path.size() >= sizeof(Slot::path)) return;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    int expected = FREE;
    if (!slots[i].state.compare_exchange_strong(expected, FILLING, std::memory_order_acq_rel)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(ARMED, std::memory_order_release);
    slot_ = static_cast<int>(i);
    return;
  }
}

void RemovedOnSignal::Release() {
  if (slot_ < 0) return;
  slots[static_cast<std::size_t>(slot_)].state.store(FREE, std::memory_order_release);
  slot_ = -1;
}

}  // namespace platform
