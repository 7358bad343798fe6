#include <cstdio>

#include "platform/standard_streams.h"

namespace platform {

namespace {

// The C library holds the stream's lock for the whole fwrite: texts from
// several threads do not interleave.
bool WriteFlushed(std::FILE* stream, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

}  // namespace

void ClaimStandardStreams() {}

bool WriteToStdout(std::string_view text) { return WriteFlushed(stdout, text); }

bool WriteToStderr(std::string_view text) { return WriteFlushed(stderr, text); }

}  // namespace platform
