// The command trace of one run of the program, when the operator asked for
// one (ZORVEX_FLASH_TRACE, or the demo's --trace): opened before the
// program's services, installed for every command and outcome, removed and
// closed after the program has gone. A trace that cannot be created costs
// one line on stderr; the program runs as without it.
// Threads: the entry's thread.
#pragma once

#include <memory>
#include <string>

#include "transport/command_trace.h"

class TraceSession {
 public:
  // `path` empty: the variable's file, if it names one.
  TraceSession(const char* program, const char* version, std::string path = {});
  ~TraceSession();
  TraceSession(const TraceSession&) = delete;
  TraceSession& operator=(const TraceSession&) = delete;

 private:
  std::unique_ptr<CommandTrace> trace_;
};
