// The whole program over stand-ins, with start-up run by the window's
// construction as in the product: virtual drives on drive letters from D:
// behind the virtual device layer (pass-through family), or the loadable
// virtual ASPI library (library family); an own file carrying a synthetic
// container; recording fakes for the system, power, dialogs and the library
// loader. Each drive sits behind a tap that records what reaches it and a
// fault injector:
//   simulator -> layer -> tap -> injector -> virtual drive.
// Threads: test thread only (it is the window thread).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "emulator/fault_injector.h"
#include "emulator/replay_drive.h"
#include "emulator/virtual_device_layer.h"
#include "emulator/virtual_drive.h"
#include "firmware/container_format.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/command_tap.h"
#include "tests/support/fakes.h"

namespace rig {

// Counts what goes through it; with no inner loader nothing loads.
class CountingLoader final : public platform::LibraryLoader {
 public:
  void SetInner(std::unique_ptr<platform::LibraryLoader> inner) { inner_ = std::move(inner); }
  platform::LibraryHandle LoadLibrary(const std::string& name) override;
  void* GetProcAddress(platform::LibraryHandle lib, const char* name) override;
  void FreeLibrary(platform::LibraryHandle lib) override;
  int Loads() const;
  std::vector<platform::LibraryHandle> Freed() const;

 private:
  std::unique_ptr<platform::LibraryLoader> inner_;
  mutable std::mutex lock_;
  int loads_ = 0;
  std::vector<platform::LibraryHandle> freed_;
};

// A system without an inhibitor lock.
class NoInhibitPower final : public platform::PowerControl {
 public:
  bool AdjustShutdownPrivilege(bool) override { return true; }
  bool ExitWindowsEx(uint32_t, uint32_t) override { return true; }
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override { return nullptr; }
};

enum class OwnFile { Valid, Missing, WrongTag };

inline constexpr VersionChars CARRIED_1_0B = {'1', '0', 'B'};
// Drive i sits on letter FIRST_LETTER + i (D:, E:, ...) and becomes host adapter i.
inline constexpr uint8_t FIRST_LETTER = 1;
inline constexpr int RUN_TIMEOUT_MS = 120000;
inline constexpr char RESERVED_BOX[] = "Reserved";

struct RigOptions {
  // Drives added at construction, each reporting revision 1.0A.
  std::size_t drives = 0;
  // Each drive reports unit attention on the first command after unit 0's
  // flash mode ends, as the real one does.
  bool unitAttention = false;
  // Long enough that no sound command runs out of time, even under a
  // sanitizer on a loaded machine, and that a held command is released
  // before its wait runs out.
  CommandWaits waits{20000, 20000};
  uint32_t platformId = platform::VER_PLATFORM_WIN32_NT;
};

// What a run left behind, read once it has ended.
struct RunOutcome {
  StatusMsg status = StatusMsg::StartFlashing;
  std::string message;  // RichEdit1
  uint8_t completion = 0;
  uint8_t powerOffArmed = 0;
  bool timerEnabled = false;
  bool button1Enabled = false;
  bool button2Enabled = false;
  std::string button2Caption;
  int reservedBoxes = 0;
  std::vector<fakes::TappedCommand> sent;  // what reached the first drive
};

class ProgramRig {
 public:
  explicit ProgramRig(RigOptions options = {});
  ~ProgramRig();
  ProgramRig(const ProgramRig&) = delete;
  ProgramRig& operator=(const ProgramRig&) = delete;

  // Before Start. A virtual drive on the next letter.
  emulator::VirtualDrive& AddDrive(const std::string& revision = "1.0A");
  // The library family's virtual library with its configuration text.
  void UseLibrary(const std::string& config);
  // Before Start, instead of AddDrive: the drives of the command trace at
  // `path` on as many adapters as its header names, answering as recorded;
  // in the library family the virtual library replays it. False (with a
  // failed expectation) when the trace cannot be read.
  bool Replay(const std::string& path);
  // The pass-through family's replay; nullptr otherwise.
  emulator::ReplayScript* replayScript() { return replay_.get(); }
  void SetOwnFile(OwnFile kind, VersionChars carried = CARRIED_1_0B);
  // Other devices or another power control than the rig's own.
  void UseDevices(platform::DeviceLayer& devices) { devices_ = &devices; }
  void UsePower(platform::PowerControl& other) { power_ = &other; }
  void UseDialogs(platform::Dialogs& other) { dialogs_ = &other; }
  // Builds the program and the window, which runs start-up.
  TForm1& Start();

  // Forgets what the first drive's tap saw, then clicks the flash button.
  void ClickFlash();
  // Processes events until the run has ended and its thread is gone.
  bool WaitForRunEnd(int timeoutMs = RUN_TIMEOUT_MS);
  // Processes events until the progress display has stopped after a run.
  bool WaitForDisplayEnd(int timeoutMs = RUN_TIMEOUT_MS);
  RunOutcome Outcome() const;
  // ClickFlash, WaitForRunEnd, Outcome; a run that does not end fails the test.
  RunOutcome Run();

  Program& program() { return *program_; }
  TForm1& form() { return *form_; }
  emulator::VirtualDrive& drive(std::size_t i = 0) { return *drives_[i].drive; }
  emulator::FaultInjector& injector(std::size_t i = 0) { return *drives_[i].injector; }
  fakes::CommandTap& tap(std::size_t i = 0) { return *drives_[i].tap; }
  uint8_t letter(std::size_t i = 0) const { return static_cast<uint8_t>(FIRST_LETTER + i); }
  const std::string& OwnPath() const { return ownPath; }
  const std::vector<uint8_t>& Container() const { return container; }

  // The container carried in the own file.
  std::vector<uint8_t> container;
  container_test::ScratchDir dir;
  std::string ownPath = dir.File("zorvex-flash");

 private:
  struct Slot {
    std::shared_ptr<emulator::VirtualDrive> drive;
    std::shared_ptr<emulator::FaultInjector> injector;
    std::shared_ptr<fakes::CommandTap> tap;
  };
  // Declared before the layer so that they outlive it: a worker released at
  // teardown may still pass a command through a tap to its injector until
  // the layer's destructor has seen every call leave.
  std::vector<Slot> drives_;

 public:
  emulator::VirtualDeviceLayer layer;
  fakes::FakeSystemInfo system;
  fakes::RecordingPower power;
  fakes::RecordingDialogs dialogs;
  CountingLoader libraries;

 private:
  RigOptions options_;
  platform::DeviceLayer* devices_ = &layer;
  platform::PowerControl* power_ = &power;
  platform::Dialogs* dialogs_ = &dialogs;
  bool usesLibrary_ = false;
  std::unique_ptr<emulator::ReplayScript> replay_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<TForm1> form_;
};

// The virtual library's folder in the build.
std::string VirtualLibraryFolder();

}  // namespace rig
