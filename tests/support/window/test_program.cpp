#include "tests/support/window/test_program.h"

namespace fakes {

TestProgram::TestProgram()
    : program(std::make_unique<Program>(Services{system, power, libraries, devices, SystemEvents(), dialogs})) {
  program->channel.waits = TEST_WAITS;
}

}  // namespace fakes
