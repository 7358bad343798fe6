// The library's staged files (its flash dump) are registered in the loading
// program's table of files removed on a signal: the library installs no
// signal handling of its own, and the program's ending empties only its own
// table. Weak: a program that exports no table leaves them unregistered.
#include "platform/removal_on_signal.h"

extern "C" int zx_RegisterRemovedOnSignal(const char* path) __attribute__((weak));
extern "C" void zx_ReleaseRemovedOnSignal(int slot) __attribute__((weak));

namespace platform {

RemovedOnSignal::RemovedOnSignal(const std::string& path) {
  if (zx_RegisterRemovedOnSignal != nullptr) slot_ = zx_RegisterRemovedOnSignal(path.c_str());
}

void RemovedOnSignal::Release() {
  if (slot_ >= 0 && zx_ReleaseRemovedOnSignal != nullptr) zx_ReleaseRemovedOnSignal(slot_);
  slot_ = -1;
}

}  // namespace platform
