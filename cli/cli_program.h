// What both command-line programs (the product's and the demo's) do with
// their parsed command line: answer --help and --version, or start the
// session on the services the entry built and run the verb.
// Threads: the main thread.
#pragma once

#include <functional>
#include <optional>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "cli/console.h"

// The status to end with at once (a malformed line, --help, --version);
// nullopt: go on. `usage` is the whole help text.
std::optional<int> AnswerWithoutDrives(const CliParse& parse, Console& console, const std::string& usage,
                                       const char* version);

// `beforeEnd` runs after the verb, before the session goes (the demo ends
// its drives' waits there).
int RunCli(const CliOptions& options, const CliServices& services, Console& console, const char* version,
           const std::function<void()>& beforeEnd = {});
