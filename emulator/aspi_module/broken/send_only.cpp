// A damaged ASPI library for tests: it has SendASPI32Command but no
// GetASPI32SupportInfo. Nothing ever gets far enough to send through it.
#include <cstdint>

#include "transport/srb.h"

extern "C" __attribute__((visibility("default"))) uint32_t SendASPI32Command(void* srb) {
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
  return SS_INVALID_HA;
}
