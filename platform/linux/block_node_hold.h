// The drive's block node (/dev/srN) held by the program for the length of a
// run, so that the kernel and the desktop leave the drive alone while its
// firmware is being written. Commands the run does not send are no less
// dangerous to a drive in flash mode for coming from someone else.
//
// Opened read-write, exclusively and without waiting for a medium (as disc
// writers do): while such an opener exists the block layer stops polling
// the drive for media events (GET EVENT STATUS NOTIFICATION every few
// seconds on a desktop), and every other exclusive opener (udev's
// cdrom_id, a burner, a mount) is refused. Then the drive's automatic tray
// close and door lock are turned off, so that another program's plain open
// (blkid, a file manager) sends the drive neither START STOP UNIT nor
// PREVENT ALLOW MEDIUM REMOVAL; they are turned back on afterwards. None of
// this needs more than the access the drive's sg node already takes.
//
// The kernel itself asks the drive for its media events once as the node is
// opened, and allows medium removal as the last opener closes it: both come
// outside the run's commands, before the first and after the last.
//
// Best effort: a drive with no block node (no sr driver), one that is
// mounted or held by another program, or one this user may not open is
// flashed as before, without the hold.
// Threads: any, one at a time.
#pragma once

#include <string>

#include "platform/linux/sg_device_layer.h"

namespace platform {

class BlockNodeHold {
 public:
  // Holds the block node of the drive behind the sg node `sgPath`, if it can.
  BlockNodeHold(SgSystemCalls& calls, const std::string& sgPath);
  // Turns back on what it turned off, then closes the node.
  ~BlockNodeHold();
  BlockNodeHold(const BlockNodeHold&) = delete;
  BlockNodeHold& operator=(const BlockNodeHold&) = delete;

 private:
  SgSystemCalls& calls_;
  int fd_ = -1;
  int turnedOff_ = 0;  // the CDO_ options to turn on again
};

}  // namespace platform
