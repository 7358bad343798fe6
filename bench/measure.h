// Timing a path against its baseline on a noisy machine: both run in the
// same process, in alternating batches, and each is summed up by the median
// of its batches, so a burst of load hits both alike.
// Threads: the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bench {

struct Comparison {
  double pathUs = 0;      // median time of one call of the path
  double baselineUs = 0;  // the same for the baseline
  double Ratio() const { return baselineUs > 0 ? pathUs / baselineUs : 0; }
};

// `rounds` pairs of batches of `batch` calls each, path and baseline in turn.
Comparison Interleave(int rounds, int batch, const std::function<void()>& path,
                      const std::function<void()>& baseline);

// Allocations per call of `call` after `warmUp` calls, over `count` calls.
double AllocationsPerCall(int warmUp, int count, const std::function<void()>& call);

double NowMs();  // monotonic clock

}  // namespace bench
