// SHA-256 (FIPS 180-4), for the digests of data sent to and received from a drive.
// Threads: a Sha256 object belongs to one thread; Sha256Of may be called from any.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, std::size_t length);
  // Ends the message; the object must not be updated afterwards.
  Sha256Digest Finish();

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  std::size_t pendingLen_ = 0;
  uint64_t totalLen_ = 0;
};

Sha256Digest Sha256Of(const uint8_t* data, std::size_t length);
// Lower-case hexadecimal, 64 characters.
std::string ToHex(const Sha256Digest& digest);
// Any bytes as lower-case hexadecimal, two characters each.
std::string HexOf(const uint8_t* bytes, std::size_t count);

}  // namespace platform
