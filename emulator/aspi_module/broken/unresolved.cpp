// A library file that exists but cannot be loaded: it needs a symbol that no
// process provides, so an immediate-binding load refuses it. On Windows the
// symbol is imported from a library that exists nowhere (nowhere.def), and
// the system refuses to load a library whose imports it cannot find.
#include <cstdint>

#include "emulator/aspi_module/aspi_export.h"
#include "transport/srb.h"

extern "C" uint32_t zx_symbol_that_nothing_defines();

ZX_ASPI_EXPORT uint32_t GetASPI32SupportInfo() { return zx_symbol_that_nothing_defines(); }

ZX_ASPI_EXPORT uint32_t SendASPI32Command(void* srb) {
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
  return zx_symbol_that_nothing_defines();
}
