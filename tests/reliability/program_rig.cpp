#include "tests/reliability/program_rig.h"

#include <gtest/gtest.h>

#include "app/messages.h"
#include "firmware/container_format.h"
#include "tests/support/window/event_wait.h"

namespace reliability {

namespace {

constexpr std::size_t EXECUTABLE_SIZE = 3001;
constexpr VersionChars CARRIED = {'1', '0', 'B'};

}  // namespace

ProgramRig::ProgramRig(RigOptions options)
    : tap(std::make_shared<CommandTap>(injector)), options_(options), ownPath_(dir_.File("zorvex-flash")) {
  drive.SetUnitAttentionAfterRestart(options.unitAttention);
  layer.SetRealSleep(false);
  layer.Place(DRIVE_LETTER, tap);
  container_ = SyntheticContainer(CARRIED);
  container_test::WriteBytes(
      ownPath_, container_test::Concat(container_test::FakeExecutable(EXECUTABLE_SIZE), container_));
  system.platformId = platform::VER_PLATFORM_WIN32_NT;
  system.ownPath = ownPath_;
}

ProgramRig::~ProgramRig() {
  // A command held in the drive or the layer ends now, so a run still going
  // reaches its end and an abandoned worker leaves the layer.
  injector.Interrupt();
  layer.ReleasePassThrough(DRIVE_LETTER);
  if (form_) {
    EXPECT_TRUE(WaitForRunEnd()) << "a run outlived its test";
  }
  form_.reset();
  program_.reset();
}

TForm1& ProgramRig::Start() {
  program_ =
      std::make_unique<Program>(Services{system, *power_, libraries, *devices_, SystemEvents(), dialogs});
  program_->waits = options_.waits;
  form_ = std::make_unique<TForm1>(*program_);
  return *form_;
}

void ProgramRig::ClickFlash() {
  tap->Clear();
  form_->Button1.Click();
}

bool ProgramRig::WaitForRunEnd(int timeoutMs) {
  return testing_support::ProcessEventsUntil([&] { return !program_->run.runActive.load() && !form_->flashThread.Running(); },
                            timeoutMs);
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
  o.sent = tap->Commands();
  return o;
}

RunOutcome ProgramRig::Run() {
  ClickFlash();
  EXPECT_TRUE(WaitForRunEnd()) << "the run did not end";
  return Outcome();
}

}  // namespace reliability
