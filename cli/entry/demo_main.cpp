// zorvex-flash-cli-demo: the command-line program in front of the window
// demo's virtual drives, with its demonstration firmware and its drive
// options (app/entry/demo_options.h) before or after the verb.
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/entry/demo_drives.h"
#include "app/entry/demo_library_folder.h"
#include "app/entry/demo_options.h"
#include "app/entry/demo_services.h"
#include "app/entry/library_replay.h"
#include "app/entry/system_services.h"
#include "app/entry/trace_session.h"
#include "cli/cli_program.h"
#include "cli/exit_status.h"
#include "emulator/virtual_device_layer.h"
#include "platform/event.h"
#include "platform/termination_requests.h"
#include "platform/standard_streams.h"

#ifndef ZX_VERSION
#error "the build gives the project's version as ZX_VERSION"
#endif

namespace {

constexpr const char* kProgram = "zorvex-flash-cli-demo";

// The demo's options that describe the drives, each with its value; the
// language goes to both (the system the drives' demo reports, and the texts).
const std::set<std::string> kDriveOptions = {"--drives",     "--revision", "--family", "--latency-scale",
                                             "--fail",       "--trace",    "--replay", "--command-log",
                                             "--dump-flash", "--language"};

struct SplitArgs {
  std::vector<std::string> drives;
  std::vector<std::string> cli;
};

SplitArgs Split(const std::vector<std::string>& args) {
  SplitArgs split;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string name = args[i].substr(0, args[i].find('='));
    if (kDriveOptions.count(name) == 0) {
      split.cli.push_back(args[i]);
      continue;
    }
    const bool joined = name.size() < args[i].size();
    split.drives.push_back(args[i]);
    if (!joined && i + 1 < args.size()) split.drives.push_back(args[++i]);
    if (name == "--language")
      split.cli.insert(split.cli.end(), split.drives.end() - (joined ? 1 : 2), split.drives.end());
  }
  return split;
}

std::string Usage() {
  const std::string drives = demo::DemoUsage();
  return CliUsage(kProgram) + "\nThe virtual drives, as zorvex-flash-demo's (--auto-flash aside):\n" +
         drives.substr(drives.find('\n') + 1);
}

int Run(const CliOptions& options, const demo::DemoOptions& driveOptions, const demo::DemoFiles& files,
        Console& console) {
  const TraceSession trace(kProgram, ZX_VERSION, driveOptions.trace);
  const auto real = entry::MakeSystemInfo();
  demo::DemoSystemInfo system(*real, driveOptions);
  demo::DemoPower power([&console](const std::string& line) { console.Out(line); });
  const auto libraries = entry::MakeLibraryLoader(demo::LibraryFolder(entry::ProgramFolder()));
  std::unique_ptr<demo::DemoDrives> drives;
  emulator::VirtualDeviceLayer noLetters;
  if (system.ChosenFamily() == demo::Family::Nt) {
    drives = std::make_unique<demo::DemoDrives>(driveOptions, files.replayText);
  } else {
    entry::SetEnvironment("ZX_VIRTUAL_ASPI", demo::LibraryConfig(driveOptions));
    demo::OfferReplayToLibrary(files.replayText);
  }
  const auto letter = [](uint8_t index) { return std::string(1, static_cast<char>('C' + index)) + ":"; };
  const CliServices services{system,         power,  *libraries, drives ? drives->Layer() : noLetters,
                             SystemEvents(), letter, {}};
  // No run is going by then: end any wait a drive is still in before the
  // simulator stops its worker.
  const int status = RunCli(options, services, console, ZX_VERSION, [&] {
    if (drives) drives->Interrupt();
  });
  // The library family's drives went with the library, at the session's end.
  if (const std::string problem = demo::FileProblem(drives.get()); !problem.empty()) {
    console.Err(problem);
    return status == CLI_EXIT_DONE ? CLI_EXIT_FAILED : status;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a file: see platform/standard_streams.h.
  platform::ClaimStandardStreams();
  Console console(kProgram, stdout, stderr, stdin);
  const SplitArgs args = Split(std::vector<std::string>(argv + 1, argv + argc));
  const CliParse parse = ParseCliOptions(args.cli);
  if (const auto early = AnswerWithoutDrives(parse, console, Usage(), ZX_VERSION)) return *early;
  const demo::DemoParse drives = demo::ParseDemoOptions(args.drives);
  if (!drives.error.empty()) {
    console.Err(drives.error);
    return CLI_EXIT_USAGE;
  }
  // Kept to the end: the trace to replay, read once, and a held command log.
  const demo::DemoFiles files = demo::PrepareDemoFiles(drives.options);
  if (!files.error.empty()) {
    console.Err(files.error);
    return CLI_EXIT_USAGE;
  }
  platform::InstallTerminationRequests(kProgram);
  try {
    return Run(parse.options, drives.options, files, console);
  } catch (const std::exception& error) {
    console.Err(std::string("stopped by an internal error: ") + error.what());
  }
  return CLI_EXIT_FAILED;
}
