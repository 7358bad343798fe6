// A command channel wired to one virtual drive at adapter 2, target 5 through
// the asynchronous test back-end, with a recorder and a fault injector in
// between: channel -> TestAspi -> injector -> recorder -> drive.
// Also a way to call any of the eight vendor commands by name, for tests that
// run the same check over all of them.
// Threads: test thread only.
#pragma once

#include <string>

#include "drive/command_channel.h"
#include "drive/drive_table.h"
#include "emulator/fault_injector.h"
#include "emulator/virtual_drive.h"
#include "tests/drive/recording_device.h"
#include "tests/support/fakes.h"
#include "tests/support/test_aspi.h"

namespace drive_tests {

inline constexpr DriveAddress RIG_DRIVE = {2, 5};
inline constexpr uint8_t W274[4] = {'W', '2', '7', '4'};

struct DriveRig {
  fakes::TestChannel test;
  emulator::VirtualDrive drive;
  RecordingDevice recorder{drive};
  emulator::FaultInjector injector{recorder};
  fakes::TestAspi aspi;

  DriveRig();
  ~DriveRig();  // lets go of anything held in the injector before the back-end stops
  CommandChannel& channel() { return *test; }
};

enum class Command { FlashOn, FlashOff, Upload, Verify, Erase, Program, EraseUnit, Read };

std::string CommandName(Command command);
emulator::CommandKind KindOf(Command command);
// One call with typical arguments (unit 0, the first stage-one mask, a
// 4096-byte upload from a static buffer, a 32-byte read at 0x4500 into
// `readInto`). `channel` may be a channel other than the rig's.
uint8_t Call(CommandChannel& channel, Command command, uint8_t* readInto = nullptr);
// Whether the command shows a box when no event can be made.
bool BoxWhenNoEvent(Command command);

inline const Command ALL_COMMANDS[] = {Command::FlashOn,   Command::FlashOff, Command::Upload,
                                       Command::Verify,    Command::Erase,    Command::Program,
                                       Command::EraseUnit, Command::Read};

}  // namespace drive_tests
