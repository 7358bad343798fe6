// The whole program over a stand-in drive, as the operator meets it: start-up
// on the pass-through family builds the simulator over the virtual device
// layer, finds one drive on D: (host adapter 0), checks the container in the
// own file and compares versions; the flash button is then clicked.
//   simulator -> layer -> tap -> fault injector -> virtual drive
// The tap records what reaches the drive; the injector and the layer make
// chosen commands go wrong.
// Threads: test thread only (it is the window thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "emulator/fault_injector.h"
#include "emulator/virtual_device_layer.h"
#include "emulator/virtual_drive.h"
#include "tests/firmware/container_test_files.h"
#include "tests/reliability/command_tap.h"
#include "tests/support/fakes.h"

namespace reliability {

inline constexpr uint8_t DRIVE_LETTER = 1;  // D:
inline constexpr int RUN_TIMEOUT_MS = 120000;
inline constexpr char RESERVED_BOX[] = "Reserved";

struct RigOptions {
  // The drive reports unit attention on the first command after unit 0's
  // flash mode ends, as the real one does.
  bool unitAttention = false;
  // Long enough that no sound command ever runs out of time, even under a
  // sanitizer on a loaded machine.
  CommandWaits waits{10000, 10000};
};

// What a run left behind, read once it has ended.
struct RunOutcome {
  int32_t status = 0;
  std::string message;  // RichEdit1
  uint8_t completion = 0;
  uint8_t powerOffArmed = 0;
  bool timerEnabled = false;
  bool button1Enabled = false;
  bool button2Enabled = false;
  std::string button2Caption;
  int reservedBoxes = 0;
  std::vector<TappedCommand> sent;
};

class ProgramRig {
 public:
  explicit ProgramRig(RigOptions options = {});
  ~ProgramRig();
  ProgramRig(const ProgramRig&) = delete;
  ProgramRig& operator=(const ProgramRig&) = delete;

  // Before Start: other devices or another power control than the rig's own.
  void UseDevices(platform::DeviceLayer& devices) { devices_ = &devices; }
  void UsePower(platform::PowerControl& other) { power_ = &other; }
  // Builds the program and its window; start-up runs.
  TForm1& Start();
  // Forgets what the tap saw, then clicks the flash button as the operator.
  void ClickFlash();
  // Processes events until the run has ended and its thread is gone.
  bool WaitForRunEnd(int timeoutMs = RUN_TIMEOUT_MS);
  RunOutcome Outcome() const;
  // ClickFlash, WaitForRunEnd, Outcome; a run that does not end fails the test.
  RunOutcome Run();

  Program& program() { return *program_; }
  TForm1& form() { return *form_; }
  std::string OwnPath() const { return ownPath_; }
  const std::vector<uint8_t>& Container() const { return container_; }

  emulator::VirtualDrive drive;
  emulator::FaultInjector injector{drive};
  std::shared_ptr<CommandTap> tap;
  emulator::VirtualDeviceLayer layer;
  fakes::FakeSystemInfo system;
  fakes::RecordingPower power;
  fakes::RecordingDialogs dialogs;
  fakes::NoLibraries libraries;

 private:
  RigOptions options_;
  platform::DeviceLayer* devices_ = &layer;
  platform::PowerControl* power_ = &power;
  container_test::ScratchDir dir_;
  std::string ownPath_;
  std::vector<uint8_t> container_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace reliability
