// Windows: nothing is removed (platform/removal_on_signal.h says why); the
// packer's own failure paths still remove their temporary files.
#include "platform/removal_on_signal.h"

namespace platform {

void InstallRemovalOnSignal() {}

void RemoveRegisteredFiles() {}

void IgnoreClosedPipes() {}

RemovedOnSignal::RemovedOnSignal(const std::string&) {}

void RemovedOnSignal::Release() { slot_ = -1; }

}  // namespace platform

extern "C" int zx_RegisterRemovedOnSignal(const char*) { return -1; }

extern "C" void zx_ReleaseRemovedOnSignal(int) {}
