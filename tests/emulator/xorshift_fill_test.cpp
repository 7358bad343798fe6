#include <gmock/gmock.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "emulator/xorshift_fill.h"

namespace {

class XorShiftFill : public ::testing::TestWithParam<std::tuple<uint32_t, std::size_t>> {};

TEST_P(XorShiftFill, GivesTheBytesAndStateOfOneStepPerByte) {
  const auto [seed, count] = GetParam();
  std::vector<uint8_t> expected(count);
  uint32_t x = seed;
  for (uint8_t& byte : expected) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    byte = static_cast<uint8_t>(x >> 24);
  }
  std::vector<uint8_t> filled(count + 1, 0xA5);  // the byte past the end stays
  EXPECT_EQ(emulator::FillXorShiftBytes(seed, filled.data(), count), x);
  EXPECT_EQ(filled.back(), 0xA5);
  filled.pop_back();
  EXPECT_EQ(filled, expected);
}

INSTANTIATE_TEST_SUITE_P(SeedsAndLengths, XorShiftFill,
                         ::testing::Combine(::testing::Values(1u, 0x52353830u, 0xFFFFFFFFu),
                                            ::testing::Values(0, 1, 7, 8, 9, 4099, 0x80000)));

}  // namespace
