// zorvex-flash-cli: the program without a window, on the real services.
// The command line: cli/cli_options.h (--help).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/entry/system_services.h"
#include "app/entry/trace_session.h"
#include "cli/cli_program.h"
#include "cli/entry/cli_system.h"
#include "cli/exit_status.h"
#include "platform/event.h"
#include "platform/termination_requests.h"
#include "platform/standard_streams.h"

#ifndef ZX_VERSION
#error "the build gives the project's version as ZX_VERSION"
#endif

namespace {

constexpr const char* kProgram = "zorvex-flash-cli";

int Run(const CliOptions& options, Console& console) {
  // Outlives the session, whose run records into it.
  const TraceSession trace(kProgram, ZX_VERSION);
  cli_entry::SystemLoop loop;
  const auto system = entry::MakeSystemInfo();
  const auto power = cli_entry::MakeCliPower();
  // The ASPI library is looked for beside the program first, as the window's is.
  const auto libraries = entry::MakeLibraryLoader(entry::ProgramFolder());
  const auto devices = entry::MakeDeviceLayer();
  const CliServices services{*system, *power, *libraries, *devices, SystemEvents(), &cli_entry::DeviceName,
                             {}};
  return RunCli(options, services, console, ZX_VERSION);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a file: see platform/standard_streams.h.
  platform::ClaimStandardStreams();
  Console console(kProgram, stdout, stderr, stdin);
  const CliParse parse = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto early = AnswerWithoutDrives(parse, console, CliUsage(kProgram), ZX_VERSION)) return *early;
  platform::InstallTerminationRequests(kProgram);
  try {
    return Run(parse.options, console);
  } catch (const std::exception& error) {
    console.Err(std::string("stopped by an internal error: ") + error.what());
  }
  return CLI_EXIT_FAILED;
}
