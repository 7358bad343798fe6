// A library file that exists but cannot be loaded: it needs a symbol that no
// process provides, so an immediate-binding load refuses it.
#include <cstdint>

#include "transport/srb.h"

extern "C" uint32_t zx_symbol_that_nothing_defines();

extern "C" __attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() {
  return zx_symbol_that_nothing_defines();
}

extern "C" __attribute__((visibility("default"))) uint32_t SendASPI32Command(void* srb) {
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
  return zx_symbol_that_nothing_defines();
}
