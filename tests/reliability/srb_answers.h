// What the simulator's SendASPI32Command must do with one request block, as
// its request table lays down: the answers given at once (status byte and
// returned value, and which bytes of the block may change), and what a
// completed execute request may look like. Pure functions over copies of the
// blocks; the fuzzer (srb_fuzzer.h) feeds them.
// Threads: any (pure functions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/srb.h"

namespace reliability {

inline constexpr uint32_t INITIAL_TIMEOUT_S = 108000;

// A host adapter as discovery should have made it.
struct FuzzAdapter {
  uint8_t deviceType = 0;
  uint32_t maxTransfer = 0;  // what the host adapter inquiry reports
  uint16_t alignment = 0;
};

// An answer given at once: the status byte, the value returned, and the byte
// ranges of the block that may change besides the status byte.
struct ImmediateAnswer {
  uint8_t status = 0;
  uint32_t returned = 0;
  std::vector<std::pair<std::size_t, std::size_t>> changes;  // [from, to)
};

// The answer to an execute block; nothing when it must be queued.
std::optional<ImmediateAnswer> ExecuteAnswer(const SRB_ExecSCSICmd& sent, int adapterCount);

// The answer to any other command, given the time-out the simulator holds
// before the call (updated when the block sets it).
ImmediateAnswer OtherAnswer(const uint8_t* sent, const std::vector<FuzzAdapter>& adapters,
                            uint32_t& timeoutSeconds);

// Bytes of `after` that differ from `before` outside the status byte and the
// allowed ranges; empty when there are none.
std::string UnexpectedChanges(const uint8_t* before, const uint8_t* after, std::size_t size,
                              const ImmediateAnswer& answer);

// Checks that a host adapter inquiry, device type or time-out answer carries
// the right values (the caller has checked status and returned value).
std::string WrongValues(const uint8_t* after, const std::vector<FuzzAdapter>& adapters,
                        uint32_t timeoutSeconds);

// What is wrong with a completed execute block, compared with the block as
// it was handed over; empty when nothing is.
std::string CompletionFaults(const SRB_ExecSCSICmd& sent, const SRB_ExecSCSICmd& done);

}  // namespace reliability
