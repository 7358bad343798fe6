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

// What a trace may hold. The longest line the program writes is a memory
// read of 2048 bytes as hexadecimal, about 4.5 KiB; the longest wait it gives
// a command is 50 s. Anything far beyond is no trace of it, and is refused
// with one line naming the limit, before it can exhaust memory or hold a
// replay for days.
inline constexpr std::size_t TRACE_LINE_LIMIT = 64 * 1024;         // bytes, its line feed not counted
inline constexpr std::size_t TRACE_SIZE_LIMIT = 64 * 1024 * 1024;  // bytes in the whole trace
inline constexpr uint64_t TRACE_MS_LIMIT = 600000;                 // a command's recorded "ms"

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

// The bytes of the trace at `path`, read once from start to end (a pipe
// will do); false with one line in `error` when it cannot be read or goes
// past a limit above, which is seen as soon as it is read: an endless line
// costs no more than the line limit.
bool ReadTraceText(const std::string& path, std::string& text, std::string& error);

// Every line of a trace's `text`, the header first; empty with one line in
// `error` (which names the trace as `name`) when a line is malformed or
// records a command time past the limit, or the header is missing or of an
// unknown version.
std::vector<TraceRecord> ParseTrace(const std::string& text, const std::string& name, std::string& error);

// Both of the above.
std::vector<TraceRecord> ReadTrace(const std::string& path, std::string& error);

// Hexadecimal text to bytes; nullopt when it is not an even run of hex digits.
std::optional<std::vector<uint8_t>> FromHex(const std::string& hex);

}  // namespace emulator
