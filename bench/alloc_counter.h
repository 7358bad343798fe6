// Counts every heap allocation the process makes, on any thread, by
// standing in for the C library's allocator (operator new reaches it too,
// and so do Qt and a loaded module, since the benchmark exports its symbols).
// Threads: any.
#pragma once

#include <cstdint>

namespace bench {

uint64_t AllocationCount();

}  // namespace bench
