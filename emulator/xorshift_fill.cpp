#include "emulator/xorshift_fill.h"

#include <array>

namespace emulator {

namespace {

uint32_t Step(uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

// A step is linear over GF(2), so n steps are one 32x32 bit matrix, held
// here as the images of the 32 unit vectors.
using BitMatrix = std::array<uint32_t, 32>;

uint32_t Apply(const BitMatrix& m, uint32_t v) {
  uint32_t image = 0;
  for (int bit = 0; bit < 32; ++bit)
    if ((v >> bit) & 1u) image ^= m[bit];
  return image;
}

BitMatrix After(const BitMatrix& second, const BitMatrix& first) {
  BitMatrix product;
  for (int bit = 0; bit < 32; ++bit) product[bit] = Apply(second, first[bit]);
  return product;
}

BitMatrix Steps(std::size_t n) {
  BitMatrix power;
  BitMatrix result;
  for (int bit = 0; bit < 32; ++bit) {
    power[bit] = Step(1u << bit);
    result[bit] = 1u << bit;
  }
  for (; n != 0; n >>= 1) {
    if ((n & 1) != 0) result = After(power, result);
    power = After(power, power);
  }
  return result;
}

}  // namespace

// One step per byte is a chain of dependent shifts: the stream is cut into
// lanes that start where jumping ahead puts them and run side by side.
uint32_t FillXorShiftBytes(uint32_t state, uint8_t* out, std::size_t count) {
  constexpr std::size_t LANES = 8;
  const std::size_t laneLength = count / LANES;
  std::array<uint32_t, LANES> x{state};
  if (laneLength > 0) {
    const BitMatrix jump = Steps(laneLength);
    for (std::size_t lane = 1; lane < LANES; ++lane) x[lane] = Apply(jump, x[lane - 1]);
    for (std::size_t i = 0; i < laneLength; ++i)
      for (std::size_t lane = 0; lane < LANES; ++lane) {
        x[lane] = Step(x[lane]);
        out[lane * laneLength + i] = static_cast<uint8_t>(x[lane] >> 24);
      }
  }
  uint32_t last = x[LANES - 1];
  if (laneLength == 0) last = state;
  for (std::size_t i = LANES * laneLength; i < count; ++i) {
    last = Step(last);
    out[i] = static_cast<uint8_t>(last >> 24);
  }
  return last;
}

std::vector<uint32_t> XorShiftCheckpoints(uint32_t state, std::size_t stride, std::size_t count) {
  const BitMatrix jump = Steps(stride);
  std::vector<uint32_t> states;
  states.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    states.push_back(state);
    state = Apply(jump, state);
  }
  return states;
}

}  // namespace emulator
