// What the operator does once the window is up: pick a drive
// (ComboBox1Change), start a flash run (Button1Click), leave (Button2Click,
// Exit1Click, the window's close), the progress display (Timer1Timer) and,
// after a successful run, the power-off. The handlers themselves are TForm1
// members (app/main_window.h).
//
// A pick in the drive list selects the picked drive and checks its version.
// A pick while a flash run is active is ignored and the list goes back to the
// run's drive, so a run is never redirected and Button1 is not enabled again
// under it; typed text (no current item) is ignored as well.
//
// One run at a time: Button1Click refuses while program.run.runActive is
// set, and the window refuses to close while it is set, so the library is
// never unloaded under a run that can still send and the window thread never
// waits for the flash thread.
// Threads: window thread only.
#pragma once

#include <cstdint>

struct Program;

inline constexpr int FIRST_TICK_INTERVAL_MS = 1000;  // the toolkit's default, kept until the first tick
inline constexpr int TICK_INTERVAL_MS = 200;
inline constexpr uint32_t FAST_PHASE_LAST = 55;  // up to here every tick adds one
inline constexpr uint32_t HOLD_AT = 66;          // the bar holds here until the run reports
inline constexpr int TICKS_PER_SLOW_STEP = 3;

// Switches the shutdown privilege of the process on or off; true on success.
// Callers ignore the result.
bool SetShutdownPrivilege(Program& program, bool enable);
