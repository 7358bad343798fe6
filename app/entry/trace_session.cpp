#include "app/entry/trace_session.h"
#include "platform/standard_streams.h"

#include <cstdio>
#include <cstdlib>

TraceSession::TraceSession(const char* program, const char* version, std::string path) {
  if (path.empty()) {
    const char* named = std::getenv(TRACE_VARIABLE);
    if (named == nullptr || *named == '\0') return;
    path = named;
  }
  std::string error;
  trace_ = CommandTrace::Open(path, program, version, error);
  if (!trace_) {
    platform::SayLine("%s: the trace %s could not be created (%s); the run goes on without it", program,
                 path.c_str(), error.c_str());
    return;
  }
  InstallCommandTrace(trace_.get());
}

TraceSession::~TraceSession() {
  if (trace_) InstallCommandTrace(nullptr);
}
