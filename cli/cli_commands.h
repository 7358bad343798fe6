// The two verbs on a started session: `list` and `flash`. Each prints what
// it found or did (one JSON object with --json, lines otherwise) and returns
// the exit status (cli/exit_status.h).
// Threads: the main thread.
#pragma once

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/console.h"

struct CliContext {
  const CliOptions& options;
  CliSession& session;
  Console& console;
  const char* version;  // the program's
};

int ListDrives(const CliContext& cli);
int FlashDrive(const CliContext& cli);

// The verb the options name; a session that did not start gives a failure.
int RunCliCommand(const CliContext& cli, bool started);
