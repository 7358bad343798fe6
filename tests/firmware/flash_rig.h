// A flash run against the virtual drive: an own file that carries a
// synthetic container (checked as at start-up), a recording view in place of
// the window, and one virtual drive at adapter 2, target 5 behind a command
// log and a fault injector:
//   channel -> TestAspi -> log tap (adapter 2) -> injector -> drive.
// A second virtual drive at adapter 1, target 3 sits behind a tap of its own
// (adapter 1) in the same log, so a command that goes astray shows up there.
// With BackEnd::Simulator the same two drives, taps and log sit behind the
// pass-through simulator on the system's events and threads instead, on
// drive letters D: (adapter 0, the rig's drive) and F: (adapter 1); the log
// still names them by their taps (2 and 1).
// Threads: test thread only (it stands for the window thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/command_log.h"
#include "emulator/fault_injector.h"
#include "emulator/logging_device.h"
#include "emulator/virtual_device_layer.h"
#include "emulator/virtual_drive.h"
#include "firmware/container_info.h"
#include "firmware/run_state.h"
#include "firmware/status_message.h"
#include "platform/thread_class.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_aspi.h"
#include "transport/aspisim.h"

namespace flash_tests {

inline constexpr DriveAddress RIG_DRIVE = {2, 5};
inline constexpr DriveAddress OTHER_DRIVE = {1, 3};
// The bytes in front of the container in the rig's own file.
inline constexpr std::size_t EXECUTABLE_SIZE = 4321;

// The view line of a status shown and repainted at once: "now N".
std::string Now(StatusMsg code);

enum class BackEnd { TestAspi, Simulator };

struct FlashRig {
  container_test::ScratchDir dir;
  std::string ownPath = dir.File("zorvex-flash");
  std::vector<uint8_t> container;  // as appended to the own file
  fakes::TestChannel test;
  RunState run;
  ContainerInfo info;
  fakes::RecordingView view{&run};  // the run's calls only
  platform::ThreadRef flashThread;
  emulator::VirtualDrive drive;
  emulator::VirtualDrive otherDrive;
  emulator::CommandLog log;
  emulator::FaultInjector injector{drive};
  emulator::LoggingDevice tap{injector, log, RIG_DRIVE.haId};
  emulator::LoggingDevice otherTap{otherDrive, log, OTHER_DRIVE.haId};
  fakes::TestAspi aspi;
  emulator::VirtualDeviceLayer letters;
  std::atomic<int32_t> simulatorAdapters{0};
  std::unique_ptr<ASPISim> simulator;  // with BackEnd::Simulator
  DriveAddress address = RIG_DRIVE;    // where the program addresses the rig's drive

  // The drive reports unit attention after unit 0's flash mode ends when
  // `unitAttention` is set, as the real one does.
  explicit FlashRig(bool unitAttention = false, BackEnd backEnd = BackEnd::TestAspi);
  // Lets go of held commands and waits for a run still going.
  ~FlashRig();

  CommandChannel& channel() { return test.channel; }
  // What Button1Click leaves before it creates the thread (with the armed
  // flag as given), then the thread.
  void StartRun(uint8_t powerOffArmed = 0);
  // Waits until the run has ended and its thread is gone.
  bool WaitForEnd(int timeoutMs = 60000);
  // StartRun, then WaitForEnd.
  bool Run();
  // The commands that reached either drive, in order.
  std::vector<emulator::CommandLogEntry> Sent() const { return log.Entries(); }
  // The byte `offset` into the container, as it lies in the own file.
  void PatchOwnFile(std::size_t offset, uint8_t value);
};

}  // namespace flash_tests
