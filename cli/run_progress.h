// Where a flash run stands, for the command line's bar: the run shows
// "Flashing..." before its first command and after each upload, verify,
// erase and program command (firmware/flash_procedure.h), so the count of
// those shows tells, against the schedule (firmware/flash_schedule.h),
// which stage is on, which command goes next and what share of the run's
// commands is done. The flash-mode commands show nothing; each counts as
// done once a command after it has been.
// Threads: any (pure functions).
#pragma once

#include <string>

struct RunPoint {
  int stage = 1;        // 1 or 2
  std::string command;  // the command now going: "upload 3/18", "verify", ...
  int percent = 0;      // of the run's commands, done
};

// `steps`: the upload, verify, erase and program commands completed so far.
RunPoint RunPointAfter(int steps);

// The run's commands when nothing is sent twice.
int RunCommandCount();
