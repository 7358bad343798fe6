// zx-pack: builds firmware containers, appends them to the utility's
// executable, inspects files that end in one and makes demonstration
// firmware. Everything it does lives in firmware/container_pack_command;
// only the version, which the build gives, is answered here, a signal that
// ends the program takes its temporary file with it, and output that could
// not be written shows in the exit status.
#include <iostream>
#include <string>
#include <vector>

#include "firmware/container_pack_command.h"
#include "platform/removal_on_signal.h"
#include "platform/standard_streams.h"
#include "tools/output_status.h"

#ifndef ZX_VERSION
#error "the build gives the project's version as ZX_VERSION"
#endif

int main(int argc, char** argv) {
  platform::ClaimStandardStreams();
  platform::InstallRemovalOnSignal();
  // A closed pipe must not end the packer after it wrote its output whole.
  platform::IgnoreClosedPipes();
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status = PACK_OK;
  if (args.size() == 1 && (args[0] == "--version" || args[0] == "version"))
    std::cout << "zx-pack " << ZX_VERSION << "\n";
  else
    status = RunPackCommand(args, std::cout, std::cerr);
  return StatusAfterOutput(std::cout, std::cerr, "zx-pack", status);
}
