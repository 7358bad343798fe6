// A stand-in for the Linux sg driver, preloaded (LD_PRELOAD) into the real
// product binary so that the whole program, down to its own SG_IO code, can
// be tested end to end without a drive: open/ioctl/close of /dev/sgN are
// routed to a virtual RT-5800B; every other file goes to the system.
//
// Configured by the environment variable ZX_SG_STANDIN, "key=value" entries
// separated by ';':
//   dir=D          folder of the nodes' backing files (D/sgN, real files, so
//                  that flock between processes is the system's own)
//   node=N         /dev/sgN carries the virtual drive (default 0)
//   denied=N       /dev/sgN exists but refuses to open (permission denied)
//   wedged=N       /dev/sgN opens, and every command on it hangs
//   log=FILE       the drive's command log (emulator/command_log.h format)
//   timeouts=FILE  one line per SG_IO: "<opcode hex> <timeout ms>"
//   latency=MS     each command takes this long at the drive
//   scale=X        a hung command returns after X times its time-out (default 1)
//   host=K:N:S     the N-th command of kind K reaches the drive, which acts
//                  on it, and then comes back with host status S (hex), as
//                  after a bus reset
//   hang=K:N       the N-th command of kind K never reaches the drive and
//                  hangs until its time-out (times the scale)
// Kinds as in emulator/command_kind.h ("erase", "program", "inquiry", ...).
// Threads: the interposed calls may come from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "emulator/command_kind.h"

namespace sg_standin {

struct KindFault {
  emulator::CommandKind kind = emulator::CommandKind::Other;
  uint32_t nth = 0;  // 0: none
  uint8_t hostStatus = 0;
};

struct Config {
  std::string dir = "/tmp";
  int node = 0;
  int denied = -1;
  int wedged = -1;
  std::string log;
  std::string timeouts;
  uint32_t latencyMs = 0;
  double scale = 1.0;
  KindFault host;
  KindFault hang;
};

// From ZX_SG_STANDIN; std::nullopt when it is missing or malformed.
std::optional<Config> ReadConfig();

}  // namespace sg_standin
