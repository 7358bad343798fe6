// Which drive the vendor commands address, and how many host adapters the
// scan visits: the part of the program-wide run state that discovery sets.
// The window thread writes it at start-up and on a pick in the drive list;
// a flash run reads it once, on the window thread, when it is started.
// Threads: any (every field is atomic).
#pragma once

#include <atomic>
#include <cstdint>

#include "drive/drive_table.h"

struct DriveSelection {
  std::atomic<int32_t> hostAdapterCount{0};
  std::atomic<uint8_t> selectedHaId{0};
  std::atomic<uint8_t> selectedTarget{0};
  std::atomic<uint8_t> driveSelected{0};

  DriveAddress Selected() const { return {selectedHaId.load(), selectedTarget.load()}; }
};
