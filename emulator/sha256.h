// The emulator's names for the digest it shares with the product's command
// trace (platform/sha256.h).
// Threads: as platform/sha256.h.
#pragma once

#include "platform/sha256.h"

namespace emulator {

using platform::Sha256;
using platform::Sha256Digest;
using platform::Sha256Of;
using platform::ToHex;

}  // namespace emulator
