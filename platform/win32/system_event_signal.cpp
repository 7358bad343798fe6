// On its own, so that a loadable module can link this call without the
// process's event table.
#include "platform/event.h"
#include "platform/win32/windows_api.h"

extern "C" int zx_SetEvent(std::uintptr_t handle) {
  return ::SetEvent(reinterpret_cast<HANDLE>(handle)) != FALSE ? 1 : 0;
}
