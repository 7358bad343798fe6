// A damaged ASPI library for tests: it has GetASPI32SupportInfo (one
// adapter, SS_COMP) but no SendASPI32Command.
#include <cstdint>

#include "transport/srb.h"

extern "C" __attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() {
  return (uint32_t{SS_COMP} << 8) | 1u;
}
