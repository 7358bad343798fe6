#include "tests/app/startup_rig.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/window/event_wait.h"
#include "transport/aspi_library.h"

namespace app_tests {

namespace {

constexpr std::size_t EXECUTABLE_SIZE = 2345;
constexpr const char* LIBRARY_VARIABLE = "ZX_VIRTUAL_ASPI";

}  // namespace

platform::LibraryHandle CountingLoader::LoadLibrary(const std::string& name) {
  {
    std::lock_guard guard(lock_);
    ++loads_;
  }
  return inner_ ? inner_->LoadLibrary(name) : nullptr;
}

void* CountingLoader::GetProcAddress(platform::LibraryHandle lib, const char* name) {
  return inner_ ? inner_->GetProcAddress(lib, name) : nullptr;
}

void CountingLoader::FreeLibrary(platform::LibraryHandle lib) {
  {
    std::lock_guard guard(lock_);
    freed_.push_back(lib);
  }
  if (inner_) inner_->FreeLibrary(lib);
}

int CountingLoader::Loads() const {
  std::lock_guard guard(lock_);
  return loads_;
}

std::vector<platform::LibraryHandle> CountingLoader::Freed() const {
  std::lock_guard guard(lock_);
  return freed_;
}

std::string VirtualLibraryFolder() { return ZX_ASPI_MODULES_DIR "/good"; }

StartupRig::StartupRig(uint32_t platformId) {
  system.platformId = platformId;
  system.ownPath = ownPath;
  SetOwnFile(OwnFile::Valid);
}

StartupRig::~StartupRig() {
  if (form_) {
    for (std::size_t i = 0; i < drives_.size(); ++i) layer.ReleasePassThrough(letter(i));
    for (auto& injector : injectors_) injector->ReleaseHeld();
    EXPECT_TRUE(WaitForRunEnd()) << "a run outlived its test";
    // A window that was never closed still holds the library.
    UnloadAspiLibrary(*program_);
    form_.reset();
  }
  program_.reset();
  if (usesLibrary_) qunsetenv(LIBRARY_VARIABLE);
}

emulator::VirtualDrive& StartupRig::AddDrive(const std::string& revision) {
  emulator::VirtualDriveOptions options;
  options.revision = revision;
  auto drive = std::make_shared<emulator::VirtualDrive>(options);
  auto injector = std::make_shared<emulator::FaultInjector>(*drive);
  layer.Place(letter(drives_.size()), injector);
  drives_.push_back(drive);
  injectors_.push_back(injector);
  return *drive;
}

void StartupRig::UseLibrary(const std::string& config) {
  usesLibrary_ = true;
  qputenv(LIBRARY_VARIABLE, QByteArray::fromStdString(config));
  libraries.SetInner(std::make_unique<platform::DlLibraryLoader>(VirtualLibraryFolder()));
}

void StartupRig::SetOwnFile(OwnFile kind, VersionChars carried) {
  container = SyntheticContainer(carried);
  if (kind == OwnFile::WrongTag) container[PART1_TAG_OFFSET] = 'X';
  std::remove(ownPath.c_str());
  if (kind == OwnFile::Missing) return;
  container_test::WriteBytes(
      ownPath, container_test::Concat(container_test::FakeExecutable(EXECUTABLE_SIZE), container));
}

TForm1& StartupRig::Start() {
  platform::PowerControl& chosenPower = otherPower ? *otherPower : power;
  program_ =
      std::make_unique<Program>(Services{system, chosenPower, libraries, layer, SystemEvents(), dialogs});
  // Long enough that a held command is released before its wait runs out.
  program_->waits = CommandWaits{20000, 20000};
  form_ = std::make_unique<TForm1>(*program_);
  return *form_;
}

bool StartupRig::WaitForRunEnd(int timeoutMs) {
  return testing_support::ProcessEventsUntil(
      [&] { return !program_->run.runActive.load() && !form_->flashThread.Running(); }, timeoutMs);
}

bool StartupRig::WaitForDisplayEnd(int timeoutMs) {
  return testing_support::ProcessEventsUntil(
      [&] { return !program_->run.runActive.load() && !form_->Timer1.Enabled(); }, timeoutMs);
}

}  // namespace app_tests
