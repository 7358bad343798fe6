#include "cli/cli_program.h"

#include <string>

#include "cli/cli_commands.h"
#include "cli/exit_status.h"

std::optional<int> AnswerWithoutDrives(const CliParse& parse, Console& console, const std::string& usage,
                                       const char* version) {
  if (!parse.error.empty()) {
    console.Err(parse.error);
    return CLI_EXIT_USAGE;
  }
  if (parse.options.help) {
    console.Out(usage.substr(0, usage.find_last_not_of('\n') + 1));
    return CLI_EXIT_DONE;
  }
  if (parse.options.version) {
    console.Out(std::string(console.Program()) + " " + version);
    return CLI_EXIT_DONE;
  }
  return std::nullopt;
}

int RunCli(const CliOptions& options, const CliServices& services, Console& console, const char* version,
           const std::function<void()>& beforeEnd) {
  CliSession session(services, console);
  const bool started = session.Start(options.japanese);
  // The list says only what was found; what kept a device out is said here.
  for (const std::string& problem : services.devices.OpenProblems()) console.Err(problem);
  const int status = RunCliCommand(CliContext{options, session, console, version}, started);
  if (beforeEnd) beforeEnd();
  return status;
}
