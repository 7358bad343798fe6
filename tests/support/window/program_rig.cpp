#include "tests/support/window/program_rig.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <cstdio>

#include "platform/system_library_loader.h"
#include "tests/support/window/event_wait.h"
#include "transport/aspi_library.h"

namespace rig {

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

ProgramRig::ProgramRig(RigOptions options) : options_(options) {
  layer.SetRealSleep(false);
  system.platformId = options.platformId;
  system.ownPath = ownPath;
  SetOwnFile(OwnFile::Valid);
  for (std::size_t i = 0; i < options.drives; ++i) AddDrive();
}

ProgramRig::~ProgramRig() {
  // A command held in a drive or the layer ends now, so a run still going
  // reaches its end and an abandoned worker leaves the layer.
  for (std::size_t i = 0; i < drives_.size(); ++i) {
    drives_[i].injector->ReleaseHeld();
    drives_[i].injector->Interrupt();
    layer.ReleasePassThrough(letter(i));
  }
  if (form_) {
    EXPECT_TRUE(WaitForRunEnd()) << "a run outlived its test";
    // A window that was never closed still holds the library.
    UnloadAspiLibrary(program_->aspiLibrary);
  }
  form_.reset();
  program_.reset();
  if (usesLibrary_) qunsetenv(LIBRARY_VARIABLE);
}

emulator::VirtualDrive& ProgramRig::AddDrive(const std::string& revision) {
  emulator::VirtualDriveOptions driveOptions;
  driveOptions.revision = revision;
  Slot slot;
  slot.drive = std::make_shared<emulator::VirtualDrive>(driveOptions);
  slot.drive->SetUnitAttentionAfterRestart(options_.unitAttention);
  slot.injector = std::make_shared<emulator::FaultInjector>(*slot.drive);
  slot.tap = std::make_shared<fakes::CommandTap>(*slot.injector);
  layer.Place(letter(drives_.size()), slot.tap);
  drives_.push_back(slot);
  return *slot.drive;
}

void ProgramRig::UseLibrary(const std::string& config) {
  usesLibrary_ = true;
  qputenv(LIBRARY_VARIABLE, QByteArray::fromStdString(config));
  libraries.SetInner(std::make_unique<platform::SystemLibraryLoader>(VirtualLibraryFolder()));
}

bool ProgramRig::Replay(const std::string& path) {
  std::string error;
  std::vector<emulator::TraceRecord> records = emulator::ReadTrace(path, error);
  EXPECT_EQ(error, "");
  if (records.empty()) return false;
  const std::string adapters = std::to_string(records.front().Number("adapters").value_or(0));
  if (options_.platformId != platform::VER_PLATFORM_WIN32_NT) {
    UseLibrary("adapters=" + adapters + ";drives=" + adapters + ";replay=" + path);
    return true;
  }
  replay_ = emulator::ReplayScript::Load(path, error);
  if (!replay_) return false;
  for (uint32_t adapter = 0; adapter < std::stoul(adapters); ++adapter)
    layer.Place(letter(adapter), std::make_shared<emulator::ReplayDevice>(*replay_, adapter));
  return true;
}

void ProgramRig::SetOwnFile(OwnFile kind, VersionChars carried) {
  container = SyntheticContainer(carried);
  if (kind == OwnFile::WrongTag) container[PART1_TAG_OFFSET] = 'X';
  std::remove(ownPath.c_str());
  if (kind == OwnFile::Missing) return;
  container_test::WriteBytes(
      ownPath, container_test::Concat(container_test::FakeExecutable(EXECUTABLE_SIZE), container));
}

TForm1& ProgramRig::Start() {
  program_ =
      std::make_unique<Program>(Services{system, *power_, libraries, *devices_, SystemEvents(), *dialogs_});
  program_->channel.waits = options_.waits;
  form_ = std::make_unique<TForm1>(*program_);
  return *form_;
}

void ProgramRig::ClickFlash() {
  if (!drives_.empty()) tap().Clear();
  form_->Button1.Click();
}

bool ProgramRig::WaitForRunEnd(int timeoutMs) {
  return testing_support::ProcessEventsUntil(
      [&] { return !program_->run.runActive.load() && !form_->flashThread.Running(); }, timeoutMs);
}

bool ProgramRig::WaitForDisplayEnd(int timeoutMs) {
  return testing_support::ProcessEventsUntil(
      [&] { return !program_->run.runActive.load() && !form_->Timer1.Enabled(); }, timeoutMs);
}

RunOutcome ProgramRig::Outcome() const {
  RunOutcome o;
  o.status = program_->status.StatusCode();
  o.message = form_->RichEdit1.Text();
  o.completion = program_->run.completion.load();
  o.powerOffArmed = program_->run.powerOffArmed.load();
  o.timerEnabled = form_->Timer1.Enabled();
  o.button1Enabled = form_->Button1.Enabled();
  o.button2Enabled = form_->Button2.Enabled();
  o.button2Caption = form_->Button2.Caption();
  o.reservedBoxes = dialogs.Count(RESERVED_BOX);
  if (!drives_.empty()) o.sent = drives_.front().tap->Commands();
  return o;
}

RunOutcome ProgramRig::Run() {
  ClickFlash();
  EXPECT_TRUE(WaitForRunEnd()) << "the run did not end";
  return Outcome();
}

}  // namespace rig
