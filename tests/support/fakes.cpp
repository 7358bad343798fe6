#include "tests/support/fakes.h"

#include "platform/lock.h"

namespace fakes {

namespace {

class RecordedLock final : public platform::InhibitLock {
 public:
  explicit RecordedLock(RecordingPower& power) : power_(power) {}
  ~RecordedLock() override { power_.Record("release"); }
  bool Settled() const override { return power_.answered.load(); }
  std::string Missing() const override { return power_.missing; }

 private:
  RecordingPower& power_;
};

}  // namespace

std::vector<std::string> RecordingPower::Calls() const {
  platform::LockGuard guard(lock_);
  return calls_;
}

void RecordingPower::Record(std::string call) {
  platform::LockGuard guard(lock_);
  calls_.push_back(std::move(call));
}

bool RecordingPower::AdjustShutdownPrivilege(bool enable) {
  Record(enable ? "privilege on" : "privilege off");
  return true;
}

bool RecordingPower::ExitWindowsEx(uint32_t flags, uint32_t) {
  Record("exit " + std::to_string(flags));
  return true;
}

std::unique_ptr<platform::InhibitLock> RecordingPower::InhibitShutdown() {
  Record("inhibit");
  return std::make_unique<RecordedLock>(*this);
}

std::vector<RecordingDialogs::Box> RecordingDialogs::Boxes() const {
  platform::LockGuard guard(lock_);
  return boxes_;
}

int RecordingDialogs::Count(const std::string& text) const {
  platform::LockGuard guard(lock_);
  int n = 0;
  for (const auto& box : boxes_) n += box.text == text ? 1 : 0;
  return n;
}

int RecordingDialogs::Beeps() const {
  platform::LockGuard guard(lock_);
  return beeps_;
}

void RecordingDialogs::ShowMessage(std::string_view cp932) {
  platform::LockGuard guard(lock_);
  boxes_.push_back({std::string(cp932), {}, false});
}

void RecordingDialogs::ShowFatalError(std::string_view text, std::string_view caption) {
  platform::LockGuard guard(lock_);
  boxes_.push_back({std::string(text), std::string(caption), true});
}

void RecordingDialogs::Beep() {
  platform::LockGuard guard(lock_);
  ++beeps_;
}

}  // namespace fakes
