// How the verbs show a drive and the run's common fields, in lines and in
// JSON (field names: README, "Without a desktop").
// Threads: any (pure functions).
#pragma once

#include <string>

#include "cli/cli_session.h"
#include "cli/json_text.h"

// A drive's bytes as text: printable ASCII kept, anything else '?', so
// that neither the terminal nor a JSON reader meets stray bytes.
std::string Printable(const std::string& bytes);

// "1  /dev/sg1  ha 0 target 0  ZORVEX   RT-5800B          1.0A"
std::string DriveLine(const DriveReport& drive);

// "update", "same", "newer", "refused" or "no-firmware".
const char* VerdictName(StatusMsg verdict, bool containerValid);

std::string DriveJson(const DriveReport& drive, bool containerValid, bool japanese);

// The fields every object begins with.
JsonObject ProgramJson(const char* program, const char* version);
