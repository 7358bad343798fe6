// What a process holds that a long series of runs must not let grow: threads,
// open file descriptors, open events of the process's event table, and heap
// bytes in use (as the allocator counts them; under a sanitizer, as the
// sanitizer's allocator does).
// Threads: any.
#pragma once

#include <cstddef>
#include <string>

namespace reliability {

struct ResourceCounts {
  std::size_t threads = 0;
  std::size_t descriptors = 0;
  std::size_t events = 0;
  std::size_t heapBytes = 0;
};

ResourceCounts CountResources();
std::string Describe(const ResourceCounts& counts);

}  // namespace reliability
