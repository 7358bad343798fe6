// The start-up sequence, run by TForm1's constructor on the window thread.
#pragma once

#include <cstdint>

struct Program;
class TForm1;

void RunStartup(TForm1& form);

// The platform's family id; with powerOff set it also asks the system to shut down.
uint32_t QueryPlatform(Program& program, bool powerOff);
