// The program's services and program-wide state, built by the entry and
// handed down to every operation. Tests build one with fakes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "app/messages.h"
#include "app/run_state.h"
#include "app/toolkit/dialogs.h"
#include "drive/drive_table.h"
#include "firmware/container_info.h"
#include "platform/device_layer.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/power.h"
#include "platform/system_info.h"
#include "transport/srb.h"

class ASPISim;

// Services that reach the outside world.
struct Services {
  platform::SystemInfo& system;
  platform::PowerControl& power;
  platform::LibraryLoader& libraries;
  platform::DeviceLayer& devices;
  EventService& events;
  tk::Dialogs& dialogs;
};

// How long a drive command waits for its completion.
struct CommandWaits {
  uint32_t normalMs = 5000;
  uint32_t sectorMs = 50000;  // erase and program
};

struct Program {
  explicit Program(Services services);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Services os;
  CommandWaits waits;
  RunState run;
  StatusMessages status;
  AspiEntryPoints aspi;
  DriveTable drives;
  ContainerInfo container;
  // Byte 2 of the sense data of the last failed vendor command, whole.
  std::atomic<uint8_t> lastSenseKey{0};
  // The loaded ASPI library; window thread only.
  platform::LibraryHandle aspiLibrary = nullptr;
  // The pass-through back-end, when start-up made one; lives until the program ends.
  std::unique_ptr<ASPISim> simulator;
};
