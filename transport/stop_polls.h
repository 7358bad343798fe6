// How long a worker being stopped is waited for: a number of polls, each a
// join of at most a millisecond, and never longer in all than those polls
// would take by the clock. Where the system's timer ticks coarsely (15.6 ms
// by default on Windows) each wait lasts a whole tick, so the count alone
// would stretch two seconds into half a minute.
// Threads: whichever thread stops the worker.
#pragma once

#include <cstdint>
#include <functional>

struct StopPolls {
  uint32_t polls = 2000;
  uint32_t pollMs = 1;
  // A pause of pollMs after each poll that did not see the end, as the
  // library's teardown makes.
  bool sleepBetween = false;
};

struct StopPollServices {
  std::function<bool(uint32_t ms)> join;  // true once the worker has ended
  std::function<void(uint32_t ms)> sleep;
  std::function<uint32_t()> tickMs;
};

// True when the worker ended within the polls and their time.
bool PollUntilEnded(const StopPolls& limits, const StopPollServices& services);
