// A flash run against the virtual drive: a program whose own file carries a
// synthetic container (checked at start-up as usual), the window built
// without start-up, and one virtual drive at adapter 2, target 5 behind a
// command log and a fault injector:
//   program -> TestAspi -> log tap (adapter 2) -> injector -> drive.
// A second virtual drive at adapter 1, target 3 sits behind a tap of its own
// (adapter 1) in the same log, so a command that goes astray shows up there.
// Threads: test thread only (it is the window thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "emulator/command_log.h"
#include "emulator/fault_injector.h"
#include "emulator/logging_device.h"
#include "emulator/virtual_drive.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/window/event_wait.h"
#include "tests/support/fakes.h"
#include "tests/support/test_aspi.h"

namespace flash_tests {

// The run hands every control change to the window thread and waits for it,
// so a test must keep the loop turning while it waits for the run.
using testing_support::ProcessEventsUntil;

inline constexpr DriveAddress RIG_DRIVE = {2, 5};
inline constexpr DriveAddress OTHER_DRIVE = {1, 3};
// The bytes in front of the container in the rig's own file.
inline constexpr std::size_t EXECUTABLE_SIZE = 4321;

struct FlashRig {
  container_test::ScratchDir dir;
  std::string ownPath = dir.File("zorvex-flash");
  std::vector<uint8_t> container;  // as appended to the own file
  fakes::TestProgram test;
  emulator::VirtualDrive drive;
  emulator::VirtualDrive otherDrive;
  emulator::CommandLog log;
  emulator::FaultInjector injector{drive};
  emulator::LoggingDevice tap{injector, log, RIG_DRIVE.haId};
  emulator::LoggingDevice otherTap{otherDrive, log, OTHER_DRIVE.haId};
  fakes::TestAspi aspi;
  TForm1 form{*test, false};

  // The drive reports unit attention after unit 0's flash mode ends when
  // `unitAttention` is set, as the real one does.
  explicit FlashRig(bool unitAttention = false);
  // Lets go of held commands and waits for a run still going.
  ~FlashRig();

  Program& program() { return *test.program; }
  // What Button1Click leaves before it creates the thread (with the armed
  // flag as given), then the thread. Both buttons start enabled, and Timer1
  // runs with an interval no test reaches, so only the run changes them.
  void StartRun(uint8_t powerOffArmed = 0);
  // Processes events until the run has ended and its thread is gone.
  bool WaitForEnd(int timeoutMs = 60000);
  // Processes events until `count` commands are held in the injector.
  bool WaitUntilHeld(uint32_t count, int timeoutMs = 10000);
  // StartRun, then WaitForEnd.
  bool Run();
  // The commands that reached either drive, in order.
  std::vector<emulator::CommandLogEntry> Sent() const { return log.Entries(); }
  // The byte `offset` into the container, as it lies in the own file.
  void PatchOwnFile(std::size_t offset, uint8_t value);
};

}  // namespace flash_tests
