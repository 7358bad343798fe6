// The start-up sequence, run by TForm1's constructor on the window thread:
// platform family and transport back-end, the blanked and cut window, the
// language, the drive scan, the container check and the outcome message.
// Threads: window thread only.
#pragma once

#include <cstdint>


struct Program;
class TForm1;

// "ASPI処理中です" and "ERRORです" in CP932: the two boxes of a support
// status other than SS_COMP, shown whatever the language.
inline constexpr const char ASPI_BUSY_TEXT[] = "ASPI\x8F\x88\x97\x9D\x92\x86\x82\xC5\x82\xB7";
inline constexpr const char ASPI_ERROR_TEXT[] = "ERROR\x82\xC5\x82\xB7";

inline constexpr const char WINDOW_CAPTION[] = "Zorvex Firmware Flash Utility for RT-5800B";
inline constexpr int PROGRESS_MAX = 70;
// What the window keeps below the progress bar: title bar, menu bar and frame
// are counted into the outer height, so this leaves the bar just visible.
inline constexpr int CUT_BELOW_PROGRESS_BAR = 63;

// On the pass-through family, begins opening the drive letters, which
// start-up's discovery then takes: their pauses pass while the window is
// built. For the entry, after the program and before the window.
void BeginStartup(Program& program);

void RunStartup(TForm1& form);

// The platform's family id; with powerOff set it also asks the system to shut down.
uint32_t QueryPlatform(Program& program, bool powerOff);
