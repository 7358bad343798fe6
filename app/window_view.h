// The window as the layers below see it: the drive list and identity fields
// for discovery, the container's fields for its start-up check, the status,
// buttons and progress for the version check and a flash run. Each call keeps
// the window changes of the operation it stands for, in their order.
// Threads: discovery and the container check call from the window thread,
// and their calls are carried out at once; a flash run calls from its own
// thread, and its calls are handed to the window thread without waiting
// (app/run_display.h). CatchUp on the window thread.
#pragma once

#include "app/run_display.h"
#include "drive/drive_list_view.h"
#include "firmware/status_view.h"

struct Program;
class TForm1;

class WindowView final : public ContainerView, public FlashView, public DriveListView {
 public:
  WindowView(Program& program, TForm1& form) : program_(program), form_(form), display_(program, form) {}

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
  void RunOver() override;

  void AddDriveLine(std::string_view line) override;
  void ShowDriveFields(const DriveFields& fields) override;

  // Carries out what a run has asked of the window so far: every handler
  // that acts on a run's end calls it first.
  void CatchUp() { display_.Apply(); }
  RunDisplay& Display() { return display_; }

 private:
  Program& program_;
  TForm1& form_;
  RunDisplay display_;
};
