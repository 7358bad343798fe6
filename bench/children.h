// Running the benchmark's own child modes as separate processes and reading
// the one line each prints.
// Threads: the caller's.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace bench {

struct ChildResult {
  double startedMs = 0;  // monotonic time just before the child was started
  std::map<std::string, double> values;  // its "key=value" pairs
};

// Runs this program again with `args`; throws when it fails.
ChildResult RunChild(const std::vector<std::string>& args);

}  // namespace bench
