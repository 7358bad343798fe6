// Reading a command trace (docs/trace-format.md) back: each line a flat
// JSON object of strings, whole numbers and true/false. What the product
// writes is in transport/command_trace.h; this side belongs to replay and
// the zx-trace tool, so the product never parses a trace.
//
// A trace is refused with one line when its first line is not a header of
// this format, or carries a version this reader does not know.
// Threads: any (no shared state).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace emulator {

inline constexpr char TRACE_FORMAT_NAME[] = "zorvex-trace";
// The versions this reader replays.
inline constexpr uint64_t TRACE_VERSION_KNOWN = 1;

struct TraceRecord {
  std::size_t line = 0;                       // 1-based line number in the file
  std::map<std::string, std::string> fields;  // strings unescaped, numbers and booleans as written

  std::string Event() const { return Text("event"); }
  std::string Text(const std::string& key) const;  // empty when absent
  std::optional<uint64_t> Number(const std::string& key) const;
  bool Has(const std::string& key) const { return fields.count(key) != 0; }
};

// One line, or nullopt with the reason in `error`.
std::optional<TraceRecord> ParseTraceLine(const std::string& text, std::size_t line, std::string& error);

// Every line of the trace at `path`, the header first; empty with one line
// in `error` when the file cannot be read, a line is malformed, or the
// header is missing or of an unknown version.
std::vector<TraceRecord> ReadTrace(const std::string& path, std::string& error);

// Hexadecimal text to bytes; nullopt when it is not an even run of hex digits.
std::optional<std::vector<uint8_t>> FromHex(const std::string& hex);

}  // namespace emulator
