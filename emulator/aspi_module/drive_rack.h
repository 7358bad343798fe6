// The virtual drives behind the virtual ASPI library, one per configured
// adapter, each behind a fault injector and a shared command-log tap:
//   request engine -> log tap -> fault injector -> virtual drive.
// Threads: Slots() hands the devices to the request engine, whose worker
// then uses them; Interrupt() may be called from any thread; the rest from
// the thread that loads and unloads the library.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "emulator/aspi_module/module_config.h"
#include "emulator/aspi_module/request_engine.h"
#include "emulator/drive_row.h"

namespace aspi_module {

class DriveRack {
 public:
  // `error` receives a reason when the command log file cannot be created.
  DriveRack(const ModuleConfig& config, std::string& error);
  ~DriveRack();
  DriveRack(const DriveRack&) = delete;
  DriveRack& operator=(const DriveRack&) = delete;

  // One slot per adapter; the devices stay owned by the rack.
  std::vector<AdapterSlot> Slots();
  // Ends every injected wait, so that the engine's worker can stop.
  void Interrupt();
  // Writes the flash of the drive on adapter 0 into the dump folder, if one
  // was configured; an empty text when the dump and the command log were
  // all written, else one line naming the first problem.
  std::string Conclude() const;

 private:
  const ModuleConfig config_;
  emulator::DriveRow row_;
};

}  // namespace aspi_module
