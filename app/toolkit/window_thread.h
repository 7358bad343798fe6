// Control operations called from another thread run on the window thread.
//
// RunOnWindowThread runs the call at once when the caller is the window
// thread (or no application object exists yet); from any other thread it
// hands the call to the window thread and blocks until it has run, so calls
// from one thread land in their order. An exception thrown by the call is
// carried back and rethrown in the calling thread.
//
// Rule that keeps this free of deadlock: the window thread never blocks
// waiting for another thread that may itself be inside RunOnWindowThread
// (it never joins the flash thread; a close during a run is refused instead),
// and no lock is held across a call of RunOnWindowThread that the window
// thread might also want. A test that waits on the window thread for another
// thread must keep processing events while it waits.
// Threads: any.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace tk {

bool OnWindowThread();
void RunOnWindowThread(const std::function<void()>& call);
// Hands the call to the window thread and returns at once, also on the
// window thread itself, where it runs at a later pass of the message loop;
// needs the application object. From a thread other than the window
// thread, posted calls and calls through RunOnWindowThread land in the
// order they were handed over. A posted call must not throw (nobody is
// left to catch it: the program ends).
void PostToWindowThread(std::function<void()> call);

// The window thread will run nothing more (the display is gone and the
// process is ending): calls waiting for it and every later call from
// another thread are skipped, so a flash thread can finish its run without
// its window. Calls on the window thread itself still run. Called on the
// window thread from inside calls handed over from other threads (the loss
// is noticed in a box's own message loop), it lets those callers go too, as
// if their calls had returned (a box as if OK was pressed): the window
// thread must then never return into those calls, since what they use
// belongs to callers that have moved on; it ends the process instead.
void AbandonWindow();
bool WindowAbandoned();

// RunOnWindowThread for calls with a result.
template <typename F>
auto CallOnWindowThread(F&& call) -> std::invoke_result_t<F&> {
  using Result = std::invoke_result_t<F&>;
  if constexpr (std::is_void_v<Result>) {
    RunOnWindowThread(std::function<void()>(std::forward<F>(call)));
  } else {
    std::optional<Result> result;
    RunOnWindowThread([&] { result.emplace(call()); });
    // A call skipped for an abandoned window answers with an empty value
    // where its type has one.
    if (result) return std::move(*result);
    if constexpr (std::is_default_constructible_v<Result>) return Result{};
    throw std::logic_error("the window is gone");
  }
}

}  // namespace tk
