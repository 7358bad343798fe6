// Where the firmware operations show what they decided. Implemented by the
// window; every call is carried out on the window thread before it returns,
// so calls from one thread land in their order.
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
  // As ShowStatus, and the message area is repainted before the call
  // returns: the operator sees each step before the next drive command.
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
};
