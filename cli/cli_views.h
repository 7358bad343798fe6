// The command line as the core sees it: what start-up (discovery, the
// container check, the version check) decided, kept for the verbs to print,
// and a flash run shown as it goes (status messages as they change, the
// bar, the run's messages kept for --json). Every status is also recorded
// in the command trace, as the window's are.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/console.h"
#include "drive/drive_list_view.h"
#include "firmware/status_view.h"
#include "platform/lock.h"

// A status's text in UTF-8 on one line; empty for a code without one.
std::string StatusLine(StatusMsg code, bool japanese);

// Threads: the main thread only.
class StartupView final : public ContainerView, public DriveListView {
 public:
  void ShowStatus(StatusMsg code) override;
  void ShowStatusNow(StatusMsg code) override { ShowStatus(code); }
  void EnableFlash(bool enabled) override { flashEnabled = enabled; }
  void ClearMessage() override {}
  void ShowChecksum(std::string_view) override {}
  void ShowFamilyTag(std::string_view text) override { familyTag = text; }
  void ShowCarriedVersion(std::string_view text) override { carried = text; }
  void AddDriveLine(std::string_view) override {}
  void ShowDriveFields(const DriveFields& shown) override { fields = shown; }

  StatusMsg status = StatusMsg::StartFlashing;
  bool flashEnabled = false;
  std::string familyTag;
  std::string carried;
  DriveFields fields;
};

// Threads: the run's thread calls; the main thread reads once the run is over.
class RunView final : public FlashView {
 public:
  // `quiet`: no lines or bar (--json), only what is kept.
  RunView(Console& console, bool japanese, bool quiet)
      : console_(console), japanese_(japanese), quiet_(quiet) {}

  void ShowStatus(StatusMsg code) override;
  void ShowStatusNow(StatusMsg code) override { ShowStatus(code); }
  void EnableFlash(bool) override {}
  void DisableButtons() override {}
  void StopProgress() override {}
  void ShowOwnPath(const std::string& path) override;
  // The command line powers nothing off: the outcome tells the operator.
  void OfferPowerOff() override {}

  // The statuses the run showed, each change once, as code and text.
  std::vector<std::pair<StatusMsg, std::string>> Messages() const;
  // The commands done that showed a step.
  int Steps() const;

 private:
  void ShowProgress(int steps);

  Console& console_;
  const bool japanese_;
  const bool quiet_;
  mutable platform::Mutex lock_;
  std::vector<std::pair<StatusMsg, std::string>> messages_;
  int flashingShown_ = 0;
  int lastTenth_ = -1;
};
