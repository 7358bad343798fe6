// The trace to replay, handed to the loaded virtual ASPI library: the demo
// reads it once (a pipe such as <(gunzip -c t.gz) cannot be read again),
// and the library finds zx_ReplayTraceText among the demo's exported
// symbols instead of opening the file a second time. A program that offers
// none (Windows, where a library cannot reach into the program) leaves the
// library to read the file itself.
// Threads: any.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

// The text offered, and its length in `length`; null when none was.
extern "C" const char* zx_ReplayTraceText(std::size_t* length);

namespace demo {

// Before the library is loaded; the text is kept until the program ends.
void OfferReplayToLibrary(std::shared_ptr<const std::string> text);

}  // namespace demo
