// The process's standard descriptors, and the one writer of the program's
// own lines to the operator.
//
// A program started with stdin, stdout or stderr closed (`2>&-`, a service
// manager, a careless launcher) would hand that number to the next file it
// opens: the display connection, a trace, a SCSI generic node. Every line
// meant for the operator would then go into the display protocol or, worse,
// to the drive as a request. ClaimStandardStreams opens each closed one on
// the null device before anything else is opened.
//
// The writer keeps to where stdout and stderr were when they were claimed,
// whatever later becomes of descriptors 1 and 2, and hands each text to the
// system in one call, so that lines from several threads never interleave.
// A text that cannot be written (a reader that is gone, a full disk) is
// lost and the call says so; nothing else happens.
// Windows: a window program's runtime keeps its standard slots reserved
// whether or not they lead anywhere, so nothing is claimed there; the
// writer writes through the C library's streams.
// Threads: ClaimStandardStreams first thing in main, before any other
// thread or file exists; the writers from any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

void ClaimStandardStreams();

// The whole text, as one write; false when not all of it reached the system.
bool WriteToStdout(std::string_view text);
bool WriteToStderr(std::string_view text);

// One line on stderr, formatted as printf does; the line end is added.
// False when it could not be written.
[[gnu::format(printf, 1, 2)]] bool SayLine(const char* format, ...);

// The formatting SayLine uses, for lines that go elsewhere.
[[gnu::format(printf, 1, 2)]] std::string Formatted(const char* format, ...);

}  // namespace platform
