// A window stand-in for the layers below it: records every call of the
// drive-list, container and flash views as one line, in order, and keeps
// what a window would show (the status last set, the flash button, the drive
// lines, the labels), so core tests check what the operator would see
// without a window.
// Lines: "status N", "now N", "flash on|off", "clear", "checksum T",
// "tag T", "version T", "buttons off", "progress stop", "path P",
// "power off offered", "line L", "fields HA|TG|VENDOR|PRODUCT|REV".
// Threads: any (a flash run calls from its own thread).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drive/drive_list_view.h"
#include "firmware/run_state.h"
#include "firmware/status_view.h"
#include "platform/lock.h"

namespace fakes {

class RecordingView final : public ContainerView, public FlashView, public DriveListView {
 public:
  // With a run state, OfferPowerOff arms it as the window does.
  explicit RecordingView(RunState* run = nullptr) : run_(run) {}

  void ShowStatus(StatusMsg code) override;
  void ShowStatusNow(StatusMsg code) override;
  void EnableFlash(bool enabled) override;
  void ClearMessage() override;
  void ShowChecksum(std::string_view text) override;
  void ShowFamilyTag(std::string_view text) override;
  void ShowCarriedVersion(std::string_view text) override;
  void DisableButtons() override;
  void StopProgress() override;
  void ShowOwnPath(const std::string& path) override;
  void OfferPowerOff() override;
  void AddDriveLine(std::string_view line) override;
  void ShowDriveFields(const DriveFields& fields) override;

  std::vector<std::string> Calls() const;
  // The statuses shown, in order (both kinds of showing).
  std::vector<StatusMsg> Statuses() const;
  std::optional<StatusMsg> LastStatus() const;
  // The flash button's state: enabled until a call says otherwise.
  bool FlashEnabled() const;
  std::vector<std::string> DriveLines() const;
  std::optional<DriveFields> Fields() const;
  bool PowerOffOffered() const;
  // Called (outside the lock) on every status shown, e.g. to act mid-run.
  void OnStatus(std::function<void(StatusMsg)> hook);

 private:
  void Record(std::string line);
  void Status(const char* kind, StatusMsg code);

  RunState* run_;
  mutable platform::Mutex lock_;
  std::vector<std::string> calls_;
  std::vector<StatusMsg> statuses_;
  bool flashEnabled_ = true;
  std::vector<std::string> lines_;
  std::optional<DriveFields> fields_;
  bool powerOffOffered_ = false;
  std::function<void(StatusMsg)> hook_;
};

}  // namespace fakes
