// The drives kept by discovery, in the order of the drive list, and the
// address a drive command is sent to.
// Written by discovery on the window thread at start-up, read afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct DriveAddress {
  uint8_t haId = 0;
  uint8_t target = 0;
};

struct DriveEntry {
  uint8_t index = 0;
  uint8_t haId = 0;
  uint8_t target = 0;
  char vendor[9] = {};
  char product[17] = {};
  char revision[5] = {};
};

inline constexpr std::size_t DRIVE_TABLE_SIZE = 8;

struct DriveTable {
  std::array<DriveEntry, DRIVE_TABLE_SIZE> entries{};
  uint8_t count = 0;
};
