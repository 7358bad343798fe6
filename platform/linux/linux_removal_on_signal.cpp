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

RemovedOnSignal::RemovedOnSignal(const std::string& path) : slot_(zx_RegisterRemovedOnSignal(path.c_str())) {}

void RemovedOnSignal::Release() {
  zx_ReleaseRemovedOnSignal(slot_);
  slot_ = -1;
}

}  // namespace platform

extern "C" int zx_RegisterRemovedOnSignal(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length == 0 || length >= sizeof(platform::Slot::path)) return -1;
  for (std::size_t i = 0; i < platform::slots.size(); ++i) {
    int expected = platform::FREE;
    if (!platform::slots[i].state.compare_exchange_strong(expected, platform::FILLING, std::memory_order_acq_rel))
      continue;
    std::memcpy(platform::slots[i].path, path, length + 1);
    platform::slots[i].state.store(platform::ARMED, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

extern "C" void zx_ReleaseRemovedOnSignal(int slot) {
  if (slot < 0 || static_cast<std::size_t>(slot) >= platform::slots.size()) return;
  platform::slots[static_cast<std::size_t>(slot)].state.store(platform::FREE, std::memory_order_release);
}
