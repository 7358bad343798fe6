#include "drive/expected_identity.h"

namespace {

// In int, so that a stored byte below its key gives a negative expectation
// that no reply byte can equal, instead of wrapping round to one.
template <std::size_t N>
bool FieldMatches(const std::array<uint8_t, N>& stored, uint8_t key, std::span<const uint8_t> reply) {
  for (std::size_t i = 0; i < N; ++i) {
    const int expected = int{stored[i]} - int{key};
    if (expected != int{reply[i]}) return false;
  }
  return true;
}

}  // namespace

bool MatchesIdentity(const StoredIdentity& stored, std::span<const uint8_t, INQUIRY_REPLY_LEN> reply) {
  const bool vendor = FieldMatches(stored.vendor, VENDOR_KEY, reply.subspan(VENDOR_OFFSET, VENDOR_LEN));
  const bool product = FieldMatches(stored.product, PRODUCT_KEY, reply.subspan(PRODUCT_OFFSET, PRODUCT_LEN));
  const bool revision =
      FieldMatches(stored.revision, REVISION_KEY, reply.subspan(REVISION_OFFSET, REVISION_COMPARED_LEN));
  return vendor && product && revision;
}
