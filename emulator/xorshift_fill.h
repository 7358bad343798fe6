// The byte stream a virtual drive's old firmware is made of: the top byte of
// each successive xorshift32 state.
// Threads: any (pure function).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

// Writes `count` bytes, the top byte of each state after `state`, and
// returns the last state: the same bytes as one step per byte would give.
uint32_t FillXorShiftBytes(uint32_t state, uint8_t* out, std::size_t count);

// `count` states: `state` itself, then the state `stride` steps after each
// one before, so that the stream can be made from any multiple of `stride`.
std::vector<uint32_t> XorShiftCheckpoints(uint32_t state, std::size_t stride, std::size_t count);

}  // namespace emulator
