// Program-wide run state shared by the window thread and the flash thread.
// Every field that both threads touch is atomic; the progress and tick
// counters belong to the window thread alone. The drive selection part is
// discovery's (drive/drive_selection.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "drive/drive_selection.h"

inline constexpr uint8_t LANGUAGE_ENGLISH = 1;
inline constexpr uint8_t LANGUAGE_JAPANESE = 0x81;  // exactly this value means Japanese

inline constexpr uint8_t COMPLETION_NONE = 0;
inline constexpr uint8_t COMPLETION_SUCCESS = 1;
inline constexpr uint8_t COMPLETION_FAILURE = 2;

inline constexpr uint8_t POWER_OFF_ARMED = 255;

struct RunState : DriveSelection {
  std::atomic<uint8_t> containerValid{0};
  std::atomic<uint8_t> language{LANGUAGE_ENGLISH};
  uint32_t progressCounter = 0;  // window thread only
  int8_t tickCounter = 0;        // window thread only
  std::atomic<uint8_t> completion{COMPLETION_NONE};
  std::atomic<uint8_t> powerOffArmed{0};
  // True from Button1Click until the flash thread's run has ended: one run at a time.
  std::atomic<bool> runActive{false};

  bool Japanese() const { return language.load() == LANGUAGE_JAPANESE; }
};
