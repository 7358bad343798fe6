// The command trace: one JSON line per event (docs/trace-format.md) in a
// file the operator named, for bug reports that developers replay against
// the virtual drive. Off unless the entry installs one.
//
// Every request block that reaches a back-end is recorded once it has
// completed (execute.cpp): the line is formatted on the thread that sent
// the command, after its completion and before the next command, and
// handed to the trace's own writer thread (platform/queued_line_file.h):
// the run never waits for the trace's file system. Nothing is allocated or
// written between a command's submission and its completion. The outcomes
// the operator saw (status messages, message boxes) are recorded the same
// way, in order with the commands.
//
// Lines of start-up come before the header is complete (the carried
// firmware is known only after the scan); they are held in memory and
// written right behind the header. A write that fails, a file system that
// holds a write up for 5 s, or a writer that falls far behind prints one
// line on stderr and ends the trace; the run goes on as if there were none.
// Threads: any; the members serialise on one lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/lock.h"
#include "platform/line_file.h"
#include "platform/queued_line_file.h"
#include "transport/srb.h"

inline constexpr char TRACE_FORMAT[] = "zorvex-trace";
inline constexpr int TRACE_VERSION = 1;
// The environment variable that names the trace file.
inline constexpr char TRACE_VARIABLE[] = "ZORVEX_FLASH_TRACE";

struct TraceHeader {
  std::string firmwareVersion;  // carried; empty when the own file held none
  uint32_t platformId = 0;
  std::string backEnd;  // "pass-through" or "aspi-library"; empty when none started
  int adapters = 0;
  std::string language;  // "en" or "ja"
};

class CommandTrace {
 public:
  // The trace at `path`, or nullptr with the reason in `error`. `program`
  // is the program's own file name, the only name the trace carries.
  static std::unique_ptr<CommandTrace> Open(const std::string& path, std::string program, std::string version,
                                            std::string& error);
  // The trace into `sink`, which the messages call `path`; for the tests.
  static std::unique_ptr<CommandTrace> Into(std::unique_ptr<platform::LineSink> sink, const std::string& path,
                                            std::string program, std::string version,
                                            platform::QueuedLineFile::Limits limits);
  ~CommandTrace();
  CommandTrace(const CommandTrace&) = delete;
  CommandTrace& operator=(const CommandTrace&) = delete;

  // Writes the header, then whatever came before it. Only the first call counts.
  void Header(const TraceHeader& header);
  // A request block after its completion (or its abort); `startMs` is the
  // TickMs() of its submission.
  void Command(const SRB_ExecSCSICmd& block, uint32_t startMs, uint32_t tookMs, bool waitRanOut);
  void Status(uint8_t code, std::string_view englishText);
  void Box(std::string_view cp932);
  // True once a write failed: nothing more is written.
  bool Stopped() const;

 private:
  CommandTrace(std::unique_ptr<platform::LineSink> sink, std::string path, std::string program,
               std::string version, platform::QueuedLineFile::Limits limits);
  void Emit(std::string line);
  std::string Prefix(const char* event) const;

  mutable platform::Mutex lock_;
  platform::QueuedLineFile file_;
  const std::string path_;
  const std::string program_;
  const std::string version_;
  const uint32_t startMs_;
  bool headerWritten_ = false;
  std::vector<std::string> early_;
};

// The trace every command and outcome goes to: installed by the entry before
// start-up and removed before the trace goes. Threads: any.
void InstallCommandTrace(CommandTrace* trace);
CommandTrace* InstalledCommandTrace();
