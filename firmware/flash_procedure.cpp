#include "firmware/flash_procedure.h"

#include <optional>
#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/status_codes.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"
#include "drive/commands.h"
#include "firmware/container.h"
#include "firmware/flash_schedule.h"

namespace {

// The last sense key is byte 2 of the sense data kept whole, so this matches
// a plain unit attention only: with a filemark, end-of-medium or
// incorrect-length bit beside it the byte is another value, and the failure
// is passed over like any other.
constexpr uint8_t SENSE_BYTE_UNIT_ATTENTION = 0x06;

// The status a failed step ends the run with; nothing when the step succeeded.
using StepFailure = std::optional<uint8_t>;

bool Completed(uint8_t result) { return result == COMMAND_COMPLETED; }

// One run's working values. Lives on the flash thread for one Execute.
class FlashRun {
 public:
  FlashRun(Program& program, TForm1& form, DriveAddress drive)
      : program_(program), form_(form), drive_(drive) {}

  void Perform();

 private:
  StepFailure RunStage(const FlashStage& stage);
  StepFailure SwitchOn(const FlashStage& stage);
  StepFailure UploadPart(const FlashStage& stage);
  StepFailure VerifyPart(const FlashStage& stage);
  StepFailure ErasePass(const FlashStage& stage);
  StepFailure ProgramPass(const FlashStage& stage);
  StepFailure SwitchOff(const FlashStage& stage);
  void Show(uint8_t code) { ShowStatusNow(program_, form_, code); }
  void Fail(uint8_t code);
  void Succeed();

  Program& program_;
  TForm1& form_;
  const DriveAddress drive_;
};

void FlashRun::Perform() {
  tk::RunOnWindowThread([&] {
    form_.Button1.SetEnabled(false);
    form_.Button2.SetEnabled(false);
  });
  Show(STATUS_FLASHING);
  if (!LoadContainerImage(program_)) {
    // Nothing was sent: the completion flag stays unset and the progress
    // display runs on to its hold point.
    Show(STATUS_CANNOT_OPEN);
    form_.Label13.SetCaption(tk::Cp932(program_.container.ownPath));
    return;
  }
  Show(STATUS_FLASHING);
  for (const FlashStage* stage : {&STAGE_ONE, &STAGE_TWO}) {
    if (const StepFailure failure = RunStage(*stage)) return Fail(*failure);
  }
  Succeed();
}

StepFailure FlashRun::RunStage(const FlashStage& stage) {
  for (auto step : {&FlashRun::SwitchOn, &FlashRun::UploadPart, &FlashRun::VerifyPart, &FlashRun::ErasePass,
                    &FlashRun::ProgramPass, &FlashRun::SwitchOff}) {
    if (const StepFailure failure = (this->*step)(stage)) return failure;
  }
  return std::nullopt;
}

StepFailure FlashRun::SwitchOn(const FlashStage& stage) {
  if (Completed(FlashModeOn(program_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  if (stage.flashOnFailure == FlashOnFailure::EndRun) return STATUS_FLASHING_ERROR;
  if (program_.lastSenseKey.load() != SENSE_BYTE_UNIT_ATTENTION) return std::nullopt;
  if (Completed(FlashModeOn(program_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  return STATUS_FLASHING_ERROR;
}

StepFailure FlashRun::UploadPart(const FlashStage& stage) {
  // Straight from the image: a back-end still reading a block after its
  // wait ran out reads storage that outlives the run.
  const uint8_t* part = ContainerImage().data() + stage.imageOffset;
  for (const UploadPlan& block : stage.uploads) {
    if (!Completed(UploadBlock(program_, drive_, block.address, block.blockCount, part + block.partOffset,
                               stage.unit)))
      return STATUS_FLASHING_ERROR;
    Show(STATUS_FLASHING);
  }
  return std::nullopt;
}

StepFailure FlashRun::VerifyPart(const FlashStage& stage) {
  // The bytes kept at start-up, not those now in the image.
  const std::span<const uint8_t, CHECKSUM_SIZE> checksum(program_.container.*stage.checksum);
  if (!Completed(VerifyChecksum(program_, drive_, checksum, stage.unit))) return STATUS_FLASHING_ERROR;
  Show(STATUS_FLASHING);
  return std::nullopt;
}

StepFailure FlashRun::ErasePass(const FlashStage& stage) {
  if (stage.erase == EraseKind::WholeUnit) {
    if (!Completed(EraseUnit(program_, drive_, stage.unit))) return STATUS_FLASHING_ERROR;
    Show(STATUS_FLASHING);
    return std::nullopt;
  }
  for (const uint16_t mask : stage.masks) {
    if (!Completed(EraseSectors(program_, drive_, mask, stage.unit))) return STATUS_FLASHING_ERROR;
    Show(STATUS_FLASHING);
  }
  return std::nullopt;
}

StepFailure FlashRun::ProgramPass(const FlashStage& stage) {
  for (const uint16_t mask : stage.masks) {
    if (!Completed(ProgramSectors(program_, drive_, mask, stage.unit))) return STATUS_FLASHING_ERROR;
    Show(STATUS_FLASHING);
  }
  return std::nullopt;
}

StepFailure FlashRun::SwitchOff(const FlashStage& stage) {
  if (Completed(FlashModeOff(program_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  return STATUS_COMPARING_ERROR;
}

void FlashRun::Fail(uint8_t code) {
  program_.run.completion.store(COMPLETION_FAILURE);
  form_.Timer1.SetEnabled(false);
  Show(code);
}

void FlashRun::Succeed() {
  program_.run.completion.store(COMPLETION_SUCCESS);
  Show(STATUS_COMPLETED);
  if (program_.run.powerOffArmed.load() == 0) Show(STATUS_TURN_OFF);
  // One step on the window thread: no click can reach Button2 between its
  // enabling and the arming, so it never acts as a plain cancel while it
  // reads "Power Off".
  tk::RunOnWindowThread([&] {
    form_.Button2.SetEnabled(true);
    form_.Button2.SetCaption(program_.run.Japanese() ? tk::Cp932(u8"電源オフ") : std::string("Power Off"));
    program_.run.powerOffArmed.store(POWER_OFF_ARMED);
  });
}

}  // namespace

TScreenThread::TScreenThread(Program& program, TForm1& form)
    : program_(program), form_(form), drive_(program.run.Selected()) {
  SetFreeOnTerminate(true);
  form.flashThread = Ref();
  if (Start()) return;
  // Nothing ran, so nothing was sent: settle the run as a failure that the
  // operator sees, and let the window close again.
  form.flashThread.Reset();
  program.run.completion.store(COMPLETION_FAILURE);
  form.Timer1.SetEnabled(false);
  ShowStatusNow(program, form, STATUS_FLASHING_ERROR);
  program.run.runActive.store(false);
  throw FlashThreadNotStarted();
}

void TScreenThread::Execute() {
  FlashRun(program_, form_, drive_).Perform();
  program_.run.runActive.store(false);
}

void StartFlashRun(Program& program, TForm1& form) {
  try {
    new TScreenThread(program, form);  // deletes itself when its run ends
  } catch (const FlashThreadNotStarted&) {
    // Already shown to the operator by the constructor.
  }
}
