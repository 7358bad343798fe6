// zx-pack: builds firmware containers, appends them to the utility's
// executable, inspects files that end in one and makes demonstration
// firmware. Everything it does lives in firmware/container_pack_command;
// only the version, which the build gives, is answered here, and a signal
// that ends the program takes its temporary file with it.
#include <iostream>
#include <string>
#include <vector>

#include "firmware/container_pack_command.h"
#include "platform/removal_on_signal.h"
#include "platform/standard_streams.h"

#ifndef ZX_VERSION
#error "the build gives the project's version as ZX_VERSION"
#endif

int main(int argc, char** argv) {
  platform::ClaimStandardStreams();
  platform::InstallRemovalOnSignal();
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--version" || args[0] == "version")) {
    std::cout << "zx-pack " << ZX_VERSION << "\n";
    return PACK_OK;
  }
  return RunPackCommand(args, std::cout, std::cerr);
}
