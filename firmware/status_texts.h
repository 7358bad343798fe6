// The operator's status texts in English and Japanese, in UTF-8: the rows
// the window's message table converts to CP932 and the command line prints
// as they are.
// Threads: any (constants).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

struct StatusTextRow {
  uint8_t code;
  std::u8string_view english;
  std::u8string_view japanese;
};

extern const std::array<StatusTextRow, 16> STATUS_TEXT_ROWS;

// The row for a code; nullptr for codes without one.
const StatusTextRow* FindStatusTextRow(uint8_t code);
