// zx-pack: builds firmware containers, appends them to the utility's
// executable, inspects files that end in one and makes demonstration
// firmware. Everything it does lives in firmware/container_pack_command.
#include <iostream>
#include <string>
#include <vector>

#include "firmware/container_pack_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunPackCommand(args, std::cout, std::cerr);
}
