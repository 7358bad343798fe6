// The program's services and program-wide state, built by the entry and
// handed down to the window. The layers below see only the parts they work
// with: a drive command the channel, discovery the selection and the table,
// the firmware operations the run state and the container's fields.
// Tests build one with fakes.
#pragma once

#include <memory>

#include "app/messages.h"
#include "app/traced_dialogs.h"
#include "drive/command_channel.h"
#include "drive/drive_table.h"
#include "firmware/container_info.h"
#include "firmware/flash_procedure.h"
#include "firmware/run_state.h"
#include "platform/device_layer.h"
#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/power.h"
#include "platform/system_info.h"
#include "transport/aspi_library.h"
#include "transport/drive_letter_opening.h"

class ASPISim;

// Services that reach the outside world.
struct Services {
  platform::SystemInfo& system;
  platform::PowerControl& power;
  platform::LibraryLoader& libraries;
  platform::DeviceLayer& devices;
  EventService& events;
  platform::Dialogs& dialogs;
};

struct Program {
  explicit Program(Services services);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  FlashContext Flash() { return {channel, run, container}; }

  // Every box goes through here, so the command trace sees it.
  TracedDialogs dialogs;
  Services os;
  CommandChannel channel;
  RunState run;
  StatusMessages status;
  DriveTable drives;
  ContainerInfo container;
  // The loaded ASPI library; window thread only.
  AspiLibrary aspiLibrary;
  // The drive letters being opened for the pass-through back-end, from
  // BeginStartup until start-up takes them; window thread only.
  std::unique_ptr<DriveLetterOpening> letterOpening;
  // The pass-through back-end, when start-up made one; lives until the program ends.
  std::unique_ptr<ASPISim> simulator;
};
