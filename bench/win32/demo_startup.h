// Threads: the main thread, which becomes the window thread.
#pragma once

// Builds the demo's window over one virtual drive, shows it, and returns what
// `report` returns (called with the window shown).
int DemoStartup(int (*report)());

// Handles every pending message, then prints the time since the process was
// created and the shown window's number of child windows; 1 when no window is shown.
int ReportWhenIdle();
