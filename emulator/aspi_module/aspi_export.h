// How the library's entry points are exported: by their visibility on Linux
// (everything else is hidden), by a .def file that lists exactly them on
// Windows (without one, the linker would export every symbol).
// Threads: any (a macro).
#pragma once

#ifdef _WIN32
#define ZX_ASPI_EXPORT extern "C"
#else
#define ZX_ASPI_EXPORT extern "C" __attribute__((visibility("default")))
#endif
