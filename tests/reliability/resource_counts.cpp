#include "tests/reliability/resource_counts.h"

#include <filesystem>
#include <system_error>

#include "platform/event.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZX_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZX_SANITIZED_HEAP 1
#endif
#endif

#ifdef ZX_SANITIZED_HEAP
// The sanitizer runtimes' own count of bytes handed out and not yet freed
// (GCC installs no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace reliability {

namespace {

// Entries of a /proc folder; the descriptor that lists /proc/self/fd is
// itself among them, the same number every time.
std::size_t Entries(const char* folder) {
  std::error_code ec;
  std::size_t n = 0;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++n;
  return n;
}

std::size_t HeapInUse() {
#ifdef ZX_SANITIZED_HEAP
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // small chunks in the arenas, and mapped large ones
#endif
}

}  // namespace

ResourceCounts CountResources() {
  ResourceCounts c;
  c.threads = Entries("/proc/self/task");
  c.descriptors = Entries("/proc/self/fd");
  c.events = SystemEvents().OpenCount();
  c.heapBytes = HeapInUse();
  return c;
}

std::string Describe(const ResourceCounts& c) {
  return std::to_string(c.threads) + " threads, " + std::to_string(c.descriptors) + " descriptors, " +
         std::to_string(c.events) + " events, " + std::to_string(c.heapBytes) + " heap bytes";
}

}  // namespace reliability
