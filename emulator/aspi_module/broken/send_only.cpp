// A damaged ASPI library for tests: it has SendASPI32Command but no
// GetASPI32SupportInfo. Nothing ever gets far enough to send through it.
#include <cstdint>

#include "emulator/aspi_module/aspi_export.h"
#include "transport/srb.h"

ZX_ASPI_EXPORT uint32_t SendASPI32Command(void* srb) {
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
  return SS_INVALID_HA;
}
