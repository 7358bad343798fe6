#include "transport/stop_polls.h"

bool PollUntilEnded(const StopPolls& limits, const StopPollServices& services) {
  const uint32_t allowedMs = limits.polls * limits.pollMs * (limits.sleepBetween ? 2 : 1);
  const uint32_t start = services.tickMs();
  for (uint32_t poll = 0; poll < limits.polls && services.tickMs() - start < allowedMs; ++poll) {
    if (services.join(limits.pollMs)) return true;
    if (limits.sleepBetween) services.sleep(limits.pollMs);
  }
  return false;
}
