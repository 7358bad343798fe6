// The system ASPI driver library back-end: load "wnaspi32.dll", install its
// two entry points as the program's, unload it when the window goes away.
// A missing library or entry point is fatal: beep, error box, process end.
//
// Unloading empties both entry points before the library goes, so a drive
// command issued afterwards is refused by the execute protocol instead of
// calling into unmapped code. A command already inside the library when it
// is unloaded cannot be stopped from here: the window must not unload while
// a flash run can still send.
// Threads: window thread (start-up and the close handlers).
#pragma once

#include <string_view>

#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "transport/srb.h"

inline constexpr const char* ASPI_LIBRARY_NAME = "wnaspi32.dll";
inline constexpr const char* ASPI_FATAL_CAPTION = "ASPI32 error";

// The library as the program holds it: how to load it, where its fatal box
// goes, the entry points it fills and its handle while loaded.
struct AspiLibrary {
  platform::LibraryLoader& loader;
  platform::Dialogs& dialogs;
  AspiEntryPoints& aspi;
  platform::LibraryHandle handle = nullptr;
};

// Loads the library and fills the entry points and the handle; does not
// return when the library or one of its entry points is missing.
void LoadAspiLibrary(AspiLibrary& library);

// Frees the library if one is loaded, emptying both entry points and the
// handle; otherwise does nothing (the simulator's entry points stay).
void UnloadAspiLibrary(AspiLibrary& library);

// Beep, the system-modal error box with the text and "ASPI32 error" as its
// caption, then the end of the process with exit code 0.
[[noreturn]] void AspiFatal(AspiLibrary& library, std::string_view text);
