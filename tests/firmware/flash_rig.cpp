#include "tests/firmware/flash_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "firmware/container.h"
#include "firmware/container_format.h"
#include "firmware/flash_procedure.h"
#include "platform/thread.h"

namespace flash_tests {

std::string Now(StatusMsg code) { return "now " + std::to_string(static_cast<int>(code)); }

namespace {

// The rig owns its drives; the device layer only borrows them.
std::shared_ptr<emulator::ScsiDevice> Borrow(emulator::ScsiDevice& device) {
  return std::shared_ptr<emulator::ScsiDevice>(&device, [](emulator::ScsiDevice*) {});
}

constexpr uint8_t LETTER_D = 1;
constexpr uint8_t LETTER_F = 3;

}  // namespace

FlashRig::FlashRig(bool unitAttention, BackEnd backEnd) {
  container = SyntheticContainer({'1', '0', 'B'});
  container_test::WriteBytes(
      ownPath, container_test::Concat(container_test::FakeExecutable(EXECUTABLE_SIZE), container));
  fakes::FakeSystemInfo system;
  system.ownPath = ownPath;
  // Long enough that no command of a sound run ever times out, even under a sanitizer.
  channel().waits = CommandWaits{10000, 10000};
  fakes::RecordingView startUp;
  CheckContainer(system, info, run, startUp);
  EXPECT_EQ(run.containerValid.load(), 1);

  drive.SetUnitAttentionAfterRestart(unitAttention);
  if (backEnd == BackEnd::Simulator) {
    letters.SetRealSleep(false);
    letters.Place(LETTER_D, Borrow(tap));
    letters.Place(LETTER_F, Borrow(otherTap));
    simulator = std::make_unique<ASPISim>(letters, SystemEvents(), simulatorAdapters);
    EXPECT_EQ(simulatorAdapters.load(), 2);
    log.Clear();  // the simulator's own INQUIRYs while it looked for adapters
    channel().aspi.GetASPI32SupportInfo.store(&ASPISim::GetASPI32SupportInfo);
    channel().aspi.SendASPI32Command.store(&ASPISim::SendASPI32Command);
    address = DriveAddress{0, 0};
  } else {
    aspi.Attach(RIG_DRIVE.haId, RIG_DRIVE.target, tap);
    aspi.Attach(OTHER_DRIVE.haId, OTHER_DRIVE.target, otherTap);
    fakes::TestAspi::InstallInto(channel().aspi);
  }
  run.selectedHaId = address.haId;
  run.selectedTarget = address.target;
  run.driveSelected = 1;
}

FlashRig::~FlashRig() {
  injector.Interrupt();
  EXPECT_TRUE(WaitForEnd()) << "the run outlived its test";
}

void FlashRig::StartRun(uint8_t powerOffArmed) {
  run.powerOffArmed = powerOffArmed;
  run.completion = COMPLETION_NONE;
  run.runActive = true;
  StartFlashRun({channel(), run, info}, view, flashThread);
}

bool FlashRig::WaitForEnd(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (run.runActive.load() || flashThread.Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    platform::SleepMs(1);
  }
  return true;
}

bool FlashRig::Run() {
  StartRun();
  return WaitForEnd();
}

void FlashRig::PatchOwnFile(std::size_t offset, uint8_t value) {
  std::fstream file(ownPath, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(EXECUTABLE_SIZE + offset));
  file.put(static_cast<char>(value));
  ASSERT_TRUE(file.good());
}

}  // namespace flash_tests
