// Placeholder until the start-up sequence lands.
#include "app/startup.h"

#include "app/main_window.h"
#include "app/program.h"

void RunStartup(TForm1&) {}

uint32_t QueryPlatform(Program& program, bool) { return program.os.system.PlatformId(); }
