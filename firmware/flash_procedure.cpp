#include "firmware/flash_procedure.h"

#include <optional>
#include <string>

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
using StepFailure = std::optional<StatusMsg>;

bool Completed(uint8_t result) { return result == COMMAND_COMPLETED; }

// One run's working values. Lives on the flash thread for one Execute.
class FlashRun {
 public:
  FlashRun(const FlashContext& context, FlashView& view, DriveAddress drive)
      : channel_(context.channel), run_(context.run), container_(context.container), view_(view), drive_(drive) {}

  void Perform();

 private:
  StepFailure RunStage(const FlashStage& stage);
  StepFailure SwitchOn(const FlashStage& stage);
  StepFailure UploadPart(const FlashStage& stage);
  StepFailure VerifyPart(const FlashStage& stage);
  StepFailure ErasePass(const FlashStage& stage);
  StepFailure ProgramPass(const FlashStage& stage);
  StepFailure SwitchOff(const FlashStage& stage);
  void Show(StatusMsg code) { view_.ShowStatusNow(code); }
  void Fail(StatusMsg code);
  void Succeed();

  CommandChannel& channel_;
  RunState& run_;
  const ContainerInfo& container_;
  FlashView& view_;
  const DriveAddress drive_;
};

void FlashRun::Perform() {
  view_.DisableButtons();
  Show(StatusMsg::Flashing);
  if (!LoadContainerImage(container_)) {
    // Nothing was sent: the completion flag stays unset and the progress
    // display runs on to its hold point.
    Show(StatusMsg::CannotOpen);
    view_.ShowOwnPath(container_.ownPath);
    return;
  }
  Show(StatusMsg::Flashing);
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
  if (Completed(FlashModeOn(channel_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  if (stage.flashOnFailure == FlashOnFailure::EndRun) return StatusMsg::FlashingError;
  if (channel_.lastSenseKey.load() != SENSE_BYTE_UNIT_ATTENTION) return std::nullopt;
  if (Completed(FlashModeOn(channel_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  return StatusMsg::FlashingError;
}

StepFailure FlashRun::UploadPart(const FlashStage& stage) {
  // Straight from the image: a back-end still reading a block after its
  // wait ran out reads storage that outlives the run.
  const uint8_t* part = ContainerImage().data() + stage.imageOffset;
  for (const UploadPlan& block : stage.uploads) {
    if (!Completed(UploadBlock(channel_, drive_, block.address, block.blockCount, part + block.partOffset,
                               stage.unit)))
      return StatusMsg::FlashingError;
    Show(StatusMsg::Flashing);
  }
  return std::nullopt;
}

StepFailure FlashRun::VerifyPart(const FlashStage& stage) {
  // The bytes kept at start-up, not those now in the image.
  const std::span<const uint8_t, CHECKSUM_SIZE> checksum(container_.*stage.checksum);
  if (!Completed(VerifyChecksum(channel_, drive_, checksum, stage.unit))) return StatusMsg::FlashingError;
  Show(StatusMsg::Flashing);
  return std::nullopt;
}

StepFailure FlashRun::ErasePass(const FlashStage& stage) {
  if (stage.erase == EraseKind::WholeUnit) {
    if (!Completed(EraseUnit(channel_, drive_, stage.unit))) return StatusMsg::FlashingError;
    Show(StatusMsg::Flashing);
    return std::nullopt;
  }
  for (const uint16_t mask : stage.masks) {
    if (!Completed(EraseSectors(channel_, drive_, mask, stage.unit))) return StatusMsg::FlashingError;
    Show(StatusMsg::Flashing);
  }
  return std::nullopt;
}

StepFailure FlashRun::ProgramPass(const FlashStage& stage) {
  for (const uint16_t mask : stage.masks) {
    if (!Completed(ProgramSectors(channel_, drive_, mask, stage.unit))) return StatusMsg::FlashingError;
    Show(StatusMsg::Flashing);
  }
  return std::nullopt;
}

StepFailure FlashRun::SwitchOff(const FlashStage& stage) {
  if (Completed(FlashModeOff(channel_, drive_, FLASH_MODE_CODE, stage.unit))) return std::nullopt;
  return StatusMsg::ComparingError;
}

void FlashRun::Fail(StatusMsg code) {
  run_.completion.store(COMPLETION_FAILURE);
  view_.StopProgress();
  Show(code);
}

void FlashRun::Succeed() {
  run_.completion.store(COMPLETION_SUCCESS);
  Show(StatusMsg::Completed);
  if (run_.powerOffArmed.load() == 0) Show(StatusMsg::TurnOff);
  view_.OfferPowerOff();
}

}  // namespace

TScreenThread::TScreenThread(const FlashContext& context, FlashView& view, platform::ThreadRef& slot)
    : context_(context), view_(view), drive_(context.run.Selected()) {
  SetFreeOnTerminate(true);
  slot = Ref();
  if (Start()) return;
  // Nothing ran, so nothing was sent: settle the run as a failure that the
  // operator sees, and let the window close again.
  slot.Reset();
  SettleUnstartedRun(context, view);
  throw FlashThreadNotStarted();
}

void TScreenThread::Execute() {
  FlashRun(context_, view_, drive_).Perform();
  view_.RunOver();
  // Last: once the run counts as over the window may close and take the
  // view with it.
  context_.run.runActive.store(false);
}

void SettleUnstartedRun(const FlashContext& context, FlashView& view) {
  context.run.completion.store(COMPLETION_FAILURE);
  view.StopProgress();
  view.ShowStatusNow(StatusMsg::FlashingError);
  view.RunOver();
  context.run.runActive.store(false);
}

void StartFlashRun(const FlashContext& context, FlashView& view, platform::ThreadRef& slot) {
  try {
    new TScreenThread(context, view, slot);  // deletes itself when its run ends
  } catch (const FlashThreadNotStarted&) {
    // Already shown to the operator by the constructor.
  }
}
