// The numbers of the operator's status messages, named by what they tell the
// operator. A type of their own: they are not SCSI status bytes, and the
// compiler keeps the two apart. The texts are in status_texts.h; the
// numbers are listed here because the firmware operations choose them.
#pragma once

#include <cstdint>

enum class StatusMsg : uint8_t {
  StartFlashing = 0,
  Flashing = 1,
  Completed = 2,
  FlashingError = 3,
  ComparingError = 7,
  TurnOff = 8,
  CannotOpen = 10,
  IncorrectFile = 11,
  ChangeFirmware = 12,
  NoDrive = 16,
  SelectDrive = 17,
  SameVersion = 32,
  DriveNewer = 33,
};
