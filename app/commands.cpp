#include "app/commands.h"

#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "app/run_watch.h"
#include "app/startup.h"
#include "drive/discovery.h"
#include "firmware/flash_procedure.h"
#include "firmware/version_check.h"
#include "transport/aspi_library.h"

namespace {

// One step of the bar: every tick in the fast phase, then every third tick
// of the signed tick counter (none while it is negative), then none.
void AdvanceProgress(RunState& run) {
  if (run.progressCounter <= FAST_PHASE_LAST) {
    ++run.progressCounter;
  } else if (run.progressCounter < HOLD_AT) {
    ++run.tickCounter;  // wraps from 127 to -128
    if (run.tickCounter > 0 && run.tickCounter % TICKS_PER_SLOW_STEP == 0) ++run.progressCounter;
  }
}

// Puts the list back on the drive a run is flashing, so that it never shows
// another drive as the one being worked on.
void ShowSelectedLine(Program& program, TForm1& form) {
  const DriveAddress selected = program.run.Selected();
  for (int i = 0; i < program.drives.count; ++i) {
    const DriveEntry& entry = program.drives.entries[static_cast<std::size_t>(i)];
    if (entry.haId == selected.haId && entry.target == selected.target) {
      form.ComboBox1.SetItemIndex(i);
      return;
    }
  }
}

}  // namespace

bool SetShutdownPrivilege(Program& program, bool enable) {
  return program.os.power.AdjustShutdownPrivilege(enable);
}

void TForm1::Button1Click() {
  // A second click that arrives before the new run has disabled Button1, or
  // any way of reaching this during a run, must not start another thread.
  bool idle = false;
  if (!program.run.runActive.compare_exchange_strong(idle, true)) return;

  program.run.powerOffArmed.store(0);
  program.run.progressCounter = 0;
  program.run.completion.store(COMPLETION_NONE);
  Timer1.SetEnabled(true);
  if (flashThread.Running()) flashThread.Terminate();

  RunWatch& watch = RunWatch::Of(*this);
  watch.Begin();
  if (watch.LockDrive())
    StartFlashRun(program.Flash(), view, flashThread);
  else
    SettleUnstartedRun(program.Flash(), view);  // another program holds the drive
  // A thread that could not be made has settled the run already.
  watch.Poll();
}

void TForm1::Timer1Timer() {
  // A stop the run asked for while the window was behind comes before
  // this tick: the bar freezes where the run left it.
  view.CatchUp();
  if (!Timer1.Enabled()) return;
  RunState& run = program.run;
  Timer1.SetInterval(TICK_INTERVAL_MS);
  AdvanceProgress(run);
  ProgressBar1.SetPosition(static_cast<int>(run.progressCounter));
  Edit4.SetText(std::to_string(run.progressCounter));

  const uint8_t completion = run.completion.load();
  if (completion == COMPLETION_SUCCESS) {
    ProgressBar1.SetPosition(PROGRESS_MAX);  // full
    Timer1.SetEnabled(false);
    run.tickCounter = 0;
  } else if (completion == COMPLETION_FAILURE) {
    Timer1.SetEnabled(false);
    run.tickCounter = 0;
  }
}

void TForm1::Button2Click() {
  // Button2 is disabled for the whole run; a click can only slip in between
  // a successful run's last window change and its end. The run is then past
  // its last command but not over, and closing would be refused anyway.
  if (program.run.runActive.load()) return;
  UnloadAspiLibrary(program.aspiLibrary);
  if (program.run.powerOffArmed.load() == POWER_OFF_ARMED) {
    // The inhibitor would hold the shutdown back: it goes first.
    RunWatch::Of(*this).Poll();
    QueryPlatform(program, true);
  }
  Close();
}

void TForm1::Exit1Click() {
  // A flasher that goes away in the middle of a write leaves the drive
  // unusable, and the library must stay while the run can still send.
  if (program.run.runActive.load()) return;
  if (flashThread.Running()) flashThread.Terminate();
  UnloadAspiLibrary(program.aspiLibrary);
  Close();
}

void TForm1::FormClose(tk::CloseAction& action) {
  // Every way of closing (Button2, Exit1, the title bar, the platform) comes
  // here; during a run the window stays, for the reasons of Exit1Click.
  if (program.run.runActive.load()) {
    action = tk::CloseAction::None;
    return;
  }
  if (flashThread.Running()) flashThread.Terminate();
  UnloadAspiLibrary(program.aspiLibrary);
}

void TForm1::ComboBox1Change() {
  // A run keeps the drive it started with, and Button1 stays off until it ends.
  if (program.run.runActive.load()) {
    ShowSelectedLine(program, *this);
    return;
  }
  const int position = ComboBox1.ItemIndex();
  if (position < 0 || position >= program.drives.count) return;
  SelectDrive(program.run, program.drives, view, position);
  if (program.run.containerValid.load() != 0)
    CheckVersion(program.run, program.drives, program.container, view, position);
}
