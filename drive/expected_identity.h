// The identity of the one drive model this program serves, as its INQUIRY
// reply reports it, kept scrambled: every stored byte is the expected byte
// plus a key of its field (vendor 160, product 128, revision 161). Only the
// first three revision bytes are fixed; the fourth names the firmware build
// and is left to the version check.
// Threads: any (constants and a pure function).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::size_t INQUIRY_REPLY_LEN = 36;
inline constexpr std::size_t VENDOR_OFFSET = 8;
inline constexpr std::size_t VENDOR_LEN = 8;
inline constexpr std::size_t PRODUCT_OFFSET = 16;
inline constexpr std::size_t PRODUCT_LEN = 16;
inline constexpr std::size_t REVISION_OFFSET = 32;
inline constexpr std::size_t REVISION_LEN = 4;
inline constexpr std::size_t REVISION_COMPARED_LEN = 3;

inline constexpr uint8_t VENDOR_KEY = 160;
inline constexpr uint8_t PRODUCT_KEY = 128;
inline constexpr uint8_t REVISION_KEY = 161;

struct StoredIdentity {
  std::array<uint8_t, VENDOR_LEN> vendor{};
  std::array<uint8_t, PRODUCT_LEN> product{};
  std::array<uint8_t, REVISION_COMPARED_LEN> revision{};
};

// The stored form of one field. A byte that would not fit in 8 bits once its
// key is added cannot be stored, so the build fails instead of wrapping.
template <std::size_t N>
constexpr std::array<uint8_t, N> ScrambleField(std::string_view plain, uint8_t key) {
  std::array<uint8_t, N> stored{};
  if (plain.size() != N) throw "a field of the expected identity has the wrong length";
  for (std::size_t i = 0; i < N; ++i) {
    const unsigned sum = static_cast<unsigned char>(plain[i]) + unsigned{key};
    if (sum > 0xFF) throw "a byte of the expected identity does not fit its stored form";
    stored[i] = static_cast<uint8_t>(sum);
  }
  return stored;
}

inline constexpr StoredIdentity EXPECTED_IDENTITY = {
    ScrambleField<VENDOR_LEN>("ZORVEX  ", VENDOR_KEY),
    ScrambleField<PRODUCT_LEN>("DVD-ROM RT-5800B", PRODUCT_KEY),
    ScrambleField<REVISION_COMPARED_LEN>("1.0", REVISION_KEY),
};

// Whether an INQUIRY reply carries the stored identity. The unscrambling is
// done without wrap-around: a stored byte below its key matches no reply byte.
// Reply byte 35 is never looked at.
bool MatchesIdentity(const StoredIdentity& stored, std::span<const uint8_t, INQUIRY_REPLY_LEN> reply);
