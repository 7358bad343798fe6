// What a flash run changes on the window, handed to the window thread
// without waiting for it. A window thread held up in the display library (an
// X server stopped, a compositor that hangs, remote X over a stalled link)
// must cost the window, not the drive: a run that waited for its status
// updates would leave the drive half-erased for as long as the display
// does not answer. Only an operator's answer (a message box) is waited for.
//
// The latest state wins: whatever the run asked for since the window last
// caught up is carried out in one step, in the order a run asks for it
// (buttons, status text, own path, progress, power-off offer). The status
// text is the MessageBuffer as it stands then, so the message area always
// ends with the status set last, by whichever thread.
//
// Threads: the requests from any thread (from the window thread itself
// they are carried out at once); Apply on the window thread, which calls it
// from the posted call and from every handler that acts on a run's end, so
// that none of them sees the window behind the run.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/lock.h"

struct Program;
class TForm1;

class RunDisplay {
 public:
  // How long a run's end waits for the window to catch up before the run
  // goes on without it.
  static constexpr uint32_t kWindowAnswerMs = 10000;

  RunDisplay(Program& program, TForm1& form);
  ~RunDisplay();
  RunDisplay(const RunDisplay&) = delete;
  RunDisplay& operator=(const RunDisplay&) = delete;

  // The MessageBuffer changed; `paintNow` repaints the message area at once
  // when carried out.
  void StatusChanged(bool paintNow);
  void ButtonsDisabled();
  void FlashEnabled(bool enabled);
  void OwnPathShown(const std::string& path);
  void ProgressStopped();
  void PowerOffOffered();

  // Carries out what is pending. Window thread.
  void Apply();
  // Waits until the window has carried out every request, or the window is
  // abandoned, or the answer time has gone by; true when it caught up.
  bool AwaitWindow();
  void SetWindowAnswerMs(uint32_t ms) { answerMs_ = ms; }

 private:
  struct Pending;
  struct Shared;
  void Changed();
  void Post();
  static void ApplyTo(Shared& shared);

  // Shared with the posted calls, which may outlive this object in the
  // toolkit's queue and then find the window gone.
  std::shared_ptr<Shared> shared_;
  uint32_t answerMs_ = kWindowAnswerMs;
};
