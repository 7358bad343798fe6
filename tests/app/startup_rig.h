// The whole program over stand-ins, with start-up run by the window's
// construction as in the product: virtual drives on drive letters behind the
// virtual device layer (pass-through family), or the loadable virtual ASPI
// library (library family); an own file carrying a synthetic container; and
// recording fakes for the system, power, dialogs and the library loader.
// Each drive sits behind its own fault injector:
//   layer -> injector -> virtual drive.
// Threads: test thread only (it is the window thread).
#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "emulator/fault_injector.h"
#include "emulator/virtual_device_layer.h"
#include "emulator/virtual_drive.h"
#include "firmware/container_format.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"

namespace app_tests {

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
// The first drive letter the rig uses (D:); drive i sits on FIRST_LETTER + i
// and becomes host adapter i.
inline constexpr uint8_t FIRST_LETTER = 1;
inline constexpr uint32_t RUN_TIMEOUT_MS = 60000;

class StartupRig {
 public:
  explicit StartupRig(uint32_t platformId = platform::VER_PLATFORM_WIN32_NT);
  ~StartupRig();
  StartupRig(const StartupRig&) = delete;
  StartupRig& operator=(const StartupRig&) = delete;

  // Before Start. A virtual drive on the next letter.
  emulator::VirtualDrive& AddDrive(const std::string& revision = "1.0A");
  // The library family's virtual library with its configuration text.
  void UseLibrary(const std::string& config);
  void SetOwnFile(OwnFile kind, VersionChars carried = CARRIED_1_0B);
  // Builds the program and the window, which runs start-up.
  TForm1& Start();

  Program& program() { return *program_; }
  TForm1& form() { return *form_; }
  emulator::VirtualDrive& drive(std::size_t i) { return *drives_[i]; }
  emulator::FaultInjector& injector(std::size_t i) { return *injectors_[i]; }
  uint8_t letter(std::size_t i) const { return static_cast<uint8_t>(FIRST_LETTER + i); }

  // Processes events until the run has ended and its thread is gone.
  bool WaitForRunEnd(int timeoutMs = RUN_TIMEOUT_MS);
  // Processes events until the progress display has stopped after a run.
  bool WaitForDisplayEnd(int timeoutMs = RUN_TIMEOUT_MS);

  // The container carried in the own file.
  std::vector<uint8_t> container;
  container_test::ScratchDir dir;
  std::string ownPath = dir.File("zorvex-flash");

 private:
  std::vector<std::shared_ptr<emulator::VirtualDrive>> drives_;
  std::vector<std::shared_ptr<emulator::FaultInjector>> injectors_;

 public:
  emulator::VirtualDeviceLayer layer;
  fakes::FakeSystemInfo system;
  fakes::RecordingPower power;
  fakes::RecordingDialogs dialogs;
  CountingLoader libraries;
  // Used instead of `power` when set before Start.
  std::unique_ptr<platform::PowerControl> otherPower;

 private:
  bool usesLibrary_ = false;
  std::unique_ptr<Program> program_;
  std::unique_ptr<TForm1> form_;
};

// The virtual library's folder in the build.
std::string VirtualLibraryFolder();

}  // namespace app_tests
