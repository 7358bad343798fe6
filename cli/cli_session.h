// The command line's program on the core: the services the entry built,
// the core's state, start-up as the window's (family and back-end, the drive
// scan, the container check, each drive's version check) and one flash run.
// A run holds the drive against other programs (a second copy among them),
// keeps the machine from sleeping or shutting down where the system offers
// that, and defers requests to end the program until it is over.
// Threads: the main thread; the run's thread reaches the program only
// through the RunView.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_views.h"
#include "cli/console.h"
#include "cli/console_dialogs.h"
#include "drive/command_channel.h"
#include "drive/drive_table.h"
#include "firmware/container_info.h"
#include "firmware/run_state.h"
#include "platform/device_layer.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/power.h"
#include "platform/system_info.h"
#include "transport/aspi_library.h"

class ASPISim;

struct CliServices {
  platform::SystemInfo& system;
  platform::PowerControl& power;
  platform::LibraryLoader& libraries;
  platform::DeviceLayer& devices;
  EventService& events;
  // The operator's name for a drive letter index's device ("/dev/sg1", "D:").
  std::function<std::string(uint8_t)> deviceName;
  // Called while a run goes on, every few tens of milliseconds (the Linux
  // entry lets logind's answers in); may be empty.
  std::function<void()> whileRunning;
};

struct DriveReport {
  int number = 0;      // from 1, in the order of discovery
  std::string device;  // empty under the library back-end
  int haId = 0;
  int target = 0;
  DriveFields fields;                            // as sent by the drive
  StatusMsg verdict = StatusMsg::IncorrectFile;  // the version check's (the window's message)
  bool flashable = false;                        // the window would enable Flash
};

enum class RunOutcome { Succeeded, Failed, NotStarted };

struct RunEnd {
  RunOutcome outcome = RunOutcome::NotStarted;
  std::string refusal;  // NotStarted: why
  int request = 0;  // a request to end the program that came during the run (platform/termination_requests.h)
};

class CliSession {
 public:
  CliSession(const CliServices& services, Console& console);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // False when the library back-end's library reported a failure (said on
  // stderr); a missing library ends the program (ConsoleDialogs).
  // `japanese` unset: the system's language.
  bool Start(std::optional<bool> japanese);
  bool Japanese() const { return run_.Japanese(); }
  bool ContainerValid() const { return run_.containerValid.load() != 0; }
  std::string CarriedVersion() const { return carried_; }
  const std::vector<DriveReport>& Drives() const { return reports_; }

  // Flashes the drive the report names; `view` shows the run.
  RunEnd Flash(const DriveReport& drive, RunView& view);

 private:
  bool StartBackEnd(uint32_t platformId);
  void CheckEachDrive(StartupView& view);
  void TellInhibitor(const platform::InhibitLock* lock);

  CliServices services_;
  Console& console_;
  ConsoleDialogs dialogs_;
  CommandChannel channel_;
  RunState run_;
  DriveTable table_;
  ContainerInfo container_;
  AspiLibrary library_;
  std::unique_ptr<ASPISim> simulator_;
  std::string carried_;
  std::vector<DriveReport> reports_;
};
