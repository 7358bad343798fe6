// A damaged ASPI library for tests: it has GetASPI32SupportInfo (one
// adapter, SS_COMP) but no SendASPI32Command.
#include <cstdint>

#include "emulator/aspi_module/aspi_export.h"
#include "transport/srb.h"

ZX_ASPI_EXPORT uint32_t GetASPI32SupportInfo() { return (uint32_t{SS_COMP} << 8) | 1u; }
