// The codes of the status message table, named by what they tell the
// operator. The texts themselves live with the table (app/messages.cpp).
#pragma once

#include <cstdint>

inline constexpr uint8_t STATUS_START_FLASHING = 0;
inline constexpr uint8_t STATUS_FLASHING = 1;
inline constexpr uint8_t STATUS_COMPLETED = 2;
inline constexpr uint8_t STATUS_FLASHING_ERROR = 3;
inline constexpr uint8_t STATUS_COMPARING_ERROR = 7;
inline constexpr uint8_t STATUS_TURN_OFF = 8;
inline constexpr uint8_t STATUS_CANNOT_OPEN = 10;
inline constexpr uint8_t STATUS_INCORRECT_FILE = 11;
inline constexpr uint8_t STATUS_CHANGE_FIRMWARE = 12;
inline constexpr uint8_t STATUS_NO_DRIVE = 16;
inline constexpr uint8_t STATUS_SELECT_DRIVE = 17;
inline constexpr uint8_t STATUS_SAME_VERSION = 32;
inline constexpr uint8_t STATUS_DRIVE_NEWER = 33;
