#include "platform/standard_streams.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

namespace {

std::string FormattedList(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return text;
}

}  // namespace

std::string Formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormattedList(format, args);
  va_end(args);
  return text;
}

bool SayLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = FormattedList(format, args);
  va_end(args);
  line.push_back('\n');
  return WriteToStderr(line);
}

}  // namespace platform
