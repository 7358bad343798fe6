// What both entries, the product's and the demo's, settle on the
// application object before the window is made: the title, the name of the
// desktop file that describes the program (so that the desktop matches the
// window to its entry and icon), the window icon, and whether this Qt can
// show the program's texts at all.
// Threads: window thread, after the application object exists.
#pragma once

#include <string>

// The desktop file is installed as <kDesktopFileName>.desktop and the
// AppStream metainfo carries the same id.
inline constexpr const char* kDesktopFileName = "org.zorvexflash.FlashUtility";
inline constexpr const char* kApplicationTitle = "Zorvex Firmware Flash Utility";

void SetUpApplication();

// Empty when this Qt converts CP932, else one line saying why the program
// cannot run (all its texts would come out empty).
std::string CheckTextConversion();
