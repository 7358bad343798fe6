// Program-wide run state shared by the window thread and the flash thread.
// Every field that both threads touch is atomic; the progress and tick
// counters belong to the window thread alone.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint8_t LANGUAGE_ENGLISH = 1;
inline constexpr uint8_t LANGUAGE_JAPANESE = 0x81;  // exactly this value means Japanese

inline constexpr uint8_t COMPLETION_NONE = 0;
inline constexpr uint8_t COMPLETION_SUCCESS = 1;
inline constexpr uint8_t COMPLETION_FAILURE = 2;

inline constexpr uint8_t POWER_OFF_ARMED = 255;

struct DriveAddress {
  uint8_t haId = 0;
  uint8_t target = 0;
};

struct RunState {
  std::atomic<int32_t> hostAdapterCount{0};
  std::atomic<uint8_t> selectedHaId{0};
  std::atomic<uint8_t> selectedTarget{0};
  std::atomic<uint8_t> driveSelected{0};
  std::atomic<uint8_t> containerValid{0};
  std::atomic<uint8_t> language{LANGUAGE_ENGLISH};
  uint32_t progressCounter = 0;  // window thread only
  int8_t tickCounter = 0;        // window thread only
  std::atomic<uint8_t> completion{COMPLETION_NONE};
  std::atomic<uint8_t> powerOffArmed{0};
  // True from Button1Click until the flash thread's run has ended: one run at a time.
  std::atomic<bool> runActive{false};

  DriveAddress Selected() const { return {selectedHaId.load(), selectedTarget.load()}; }
  bool Japanese() const { return language.load() == LANGUAGE_JAPANESE; }
};
