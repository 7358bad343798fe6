// Where the firmware operations show what they decided. Implemented by the
// window. A call from the window thread is carried out before it returns;
// one from a flash run is handed to the window thread without waiting for
// it (a run never waits on the display), and the window catches up with
// the latest state. Calls from one thread land in their order.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

#include "firmware/status_message.h"

class StatusView {
 public:
  virtual ~StatusView() = default;
  // Sets the status and shows its text in the message area, as one step.
  virtual void ShowStatus(StatusMsg code) = 0;
  // As ShowStatus, and the message area is repainted at once when the
  // window carries the change out.
  virtual void ShowStatusNow(StatusMsg code) = 0;
  // The flash button.
  virtual void EnableFlash(bool enabled) = 0;
};

// What the start-up check of the container shows besides its status.
class ContainerView : public virtual StatusView {
 public:
  virtual void ClearMessage() = 0;
  virtual void ShowChecksum(std::string_view text) = 0;  // part one's, stored order
  virtual void ShowFamilyTag(std::string_view text) = 0;
  virtual void ShowCarriedVersion(std::string_view text) = 0;
};

// What a flash run changes on the window besides its status.
class FlashView : public virtual StatusView {
 public:
  // Flash and Cancel both disabled, as one step.
  virtual void DisableButtons() = 0;
  // The progress timer stops: the bar freezes where it is.
  virtual void StopProgress() = 0;
  // The own file's path, when it could not be read at the run's start.
  virtual void ShowOwnPath(const std::string& path) = 0;
  // Cancel becomes the power-off button and the power-off is armed, as one
  // step: no click can reach the button between its enabling and the arming.
  virtual void OfferPowerOff() = 0;
  // The run's last call, after its last command and before it counts as
  // over: the window gets a bounded time to catch up; one that does not
  // answer is left behind, and the run's end is carried out without it.
  virtual void RunOver() {}
};
