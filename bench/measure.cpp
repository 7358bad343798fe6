#include "bench/measure.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/alloc_counter.h"

namespace bench {

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  if (n == 0) return 0;
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double BatchUs(int batch, const std::function<void()>& call) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < batch; ++i) call();
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / batch;
}

}  // namespace

Comparison Interleave(int rounds, int batch, const std::function<void()>& path,
                      const std::function<void()>& baseline) {
  std::vector<double> paths;
  std::vector<double> baselines;
  BatchUs(batch, path);  // warm both up before anything counts
  BatchUs(batch, baseline);
  for (int round = 0; round < rounds; ++round) {
    paths.push_back(BatchUs(batch, path));
    baselines.push_back(BatchUs(batch, baseline));
  }
  return {Median(paths), Median(baselines)};
}

double AllocationsPerCall(int warmUp, int count, const std::function<void()>& call) {
  for (int i = 0; i < warmUp; ++i) call();
  const uint64_t before = AllocationCount();
  for (int i = 0; i < count; ++i) call();
  return static_cast<double>(AllocationCount() - before) / count;
}

double NowMs() {
  const std::chrono::duration<double, std::milli> now = std::chrono::steady_clock::now().time_since_epoch();
  return now.count();
}

}  // namespace bench
