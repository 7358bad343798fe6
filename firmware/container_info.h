// What the start-up check keeps of the firmware container. Written once on
// the window thread at start-up, only read afterwards (the flash thread
// starts later).
#pragma once

#include <cstdint>
#include <string>

struct ContainerInfo {
  uint8_t part1Checksum[2] = {};  // stored order, high byte first
  uint8_t part2Checksum[2] = {};
  char part1Tag[5] = {};
  char version[5] = {};  // carried version c1 '.' c2 c3
  std::string ownPath;
};
