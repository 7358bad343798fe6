#include "app/entry/library_replay.h"

#include <utility>

#include "platform/lock.h"

namespace {

platform::Mutex lock;
std::shared_ptr<const std::string> offered;

}  // namespace

extern "C" const char* zx_ReplayTraceText(std::size_t* length) {
  platform::LockGuard guard(lock);
  if (offered == nullptr) return nullptr;
  if (length != nullptr) *length = offered->size();
  return offered->data();
}

namespace demo {

void OfferReplayToLibrary(std::shared_ptr<const std::string> text) {
  platform::LockGuard guard(lock);
  offered = std::move(text);
}

}  // namespace demo
