#include "tests/firmware/flash_rig.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <fstream>

#include "firmware/container.h"
#include "firmware/container_format.h"
#include "firmware/flash_procedure.h"

namespace flash_tests {

namespace {

constexpr int NO_TICK_MS = 3600 * 1000;

}  // namespace

FlashRig::FlashRig(bool unitAttention) {
  container = SyntheticContainer({'1', '0', 'B'});
  container_test::WriteBytes(
      ownPath, container_test::Concat(container_test::FakeExecutable(EXECUTABLE_SIZE), container));
  test.system.ownPath = ownPath;
  // Long enough that no command of a sound run ever times out, even under a sanitizer.
  program().waits = CommandWaits{10000, 10000};
  CheckContainer(program(), form);
  EXPECT_EQ(program().run.containerValid.load(), 1);

  drive.SetUnitAttentionAfterRestart(unitAttention);
  aspi.Attach(RIG_DRIVE.haId, RIG_DRIVE.target, tap);
  aspi.Attach(OTHER_DRIVE.haId, OTHER_DRIVE.target, otherTap);
  fakes::TestAspi::InstallInto(program().aspi);
  program().run.selectedHaId = RIG_DRIVE.haId;
  program().run.selectedTarget = RIG_DRIVE.target;
  program().run.driveSelected = 1;
}

FlashRig::~FlashRig() {
  injector.Interrupt();
  EXPECT_TRUE(WaitForEnd()) << "the run outlived its test";
}

void FlashRig::StartRun(uint8_t powerOffArmed) {
  Program& p = program();
  p.run.powerOffArmed = powerOffArmed;
  p.run.completion = COMPLETION_NONE;
  p.run.runActive = true;
  form.Timer1.SetInterval(NO_TICK_MS);
  form.Timer1.SetEnabled(true);
  form.Button1.SetEnabled(true);
  form.Button2.SetEnabled(true);
  StartFlashRun(p, form);
}

bool FlashRig::WaitForEnd(int timeoutMs) {
  return ProcessEventsUntil([&] { return !program().run.runActive.load() && !form.flashThread.Running(); },
                            timeoutMs);
}

bool FlashRig::WaitUntilHeld(uint32_t count, int timeoutMs) {
  return ProcessEventsUntil([&] { return injector.Held() >= count; }, timeoutMs);
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
