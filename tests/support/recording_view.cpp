#include "tests/support/recording_view.h"

#include "platform/lock.h"

namespace fakes {

void RecordingView::Record(std::string line) {
  platform::LockGuard guard(lock_);
  calls_.push_back(std::move(line));
}

void RecordingView::Status(const char* kind, StatusMsg code) {
  std::function<void(StatusMsg)> hook;
  {
    platform::LockGuard guard(lock_);
    calls_.push_back(std::string(kind) + " " + std::to_string(static_cast<int>(code)));
    statuses_.push_back(code);
    hook = hook_;
  }
  if (hook) hook(code);
}

void RecordingView::ShowStatus(StatusMsg code) { Status("status", code); }
void RecordingView::ShowStatusNow(StatusMsg code) { Status("now", code); }

void RecordingView::EnableFlash(bool enabled) {
  platform::LockGuard guard(lock_);
  flashEnabled_ = enabled;
  calls_.push_back(enabled ? "flash on" : "flash off");
}

void RecordingView::ClearMessage() { Record("clear"); }
void RecordingView::ShowChecksum(std::string_view text) { Record("checksum " + std::string(text)); }
void RecordingView::ShowFamilyTag(std::string_view text) { Record("tag " + std::string(text)); }
void RecordingView::ShowCarriedVersion(std::string_view text) { Record("version " + std::string(text)); }

void RecordingView::DisableButtons() {
  platform::LockGuard guard(lock_);
  flashEnabled_ = false;
  calls_.push_back("buttons off");
}

void RecordingView::StopProgress() { Record("progress stop"); }
void RecordingView::ShowOwnPath(const std::string& path) { Record("path " + path); }

void RecordingView::OfferPowerOff() {
  platform::LockGuard guard(lock_);
  powerOffOffered_ = true;
  if (run_ != nullptr) run_->powerOffArmed.store(POWER_OFF_ARMED);
  calls_.push_back("power off offered");
}

void RecordingView::AddDriveLine(std::string_view line) {
  platform::LockGuard guard(lock_);
  lines_.emplace_back(line);
  calls_.push_back("line " + std::string(line));
}

void RecordingView::ShowDriveFields(const DriveFields& f) {
  platform::LockGuard guard(lock_);
  fields_ = f;
  calls_.push_back("fields " + f.haId + "|" + f.target + "|" + f.vendor + "|" + f.product + "|" + f.revision);
}

std::vector<std::string> RecordingView::Calls() const {
  platform::LockGuard guard(lock_);
  return calls_;
}

std::vector<StatusMsg> RecordingView::Statuses() const {
  platform::LockGuard guard(lock_);
  return statuses_;
}

std::optional<StatusMsg> RecordingView::LastStatus() const {
  platform::LockGuard guard(lock_);
  if (statuses_.empty()) return std::nullopt;
  return statuses_.back();
}

bool RecordingView::FlashEnabled() const {
  platform::LockGuard guard(lock_);
  return flashEnabled_;
}

std::vector<std::string> RecordingView::DriveLines() const {
  platform::LockGuard guard(lock_);
  return lines_;
}

std::optional<DriveFields> RecordingView::Fields() const {
  platform::LockGuard guard(lock_);
  return fields_;
}

bool RecordingView::PowerOffOffered() const {
  platform::LockGuard guard(lock_);
  return powerOffOffered_;
}

void RecordingView::OnStatus(std::function<void(StatusMsg)> hook) {
  platform::LockGuard guard(lock_);
  hook_ = std::move(hook);
}

}  // namespace fakes
