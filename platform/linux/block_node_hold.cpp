#include "platform/linux/block_node_hold.h"

#include <fcntl.h>
#include <linux/cdrom.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

constexpr int HOLD_FLAGS = O_EXCL | O_NONBLOCK | O_CLOEXEC;
// What another opener's open and close would send the drive.
constexpr int QUIETED_OPTIONS = CDO_AUTO_CLOSE | CDO_LOCK;

// The CDROM_ options ioctls take their argument by value.
void* ByValue(int value) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value)); }

}  // namespace

BlockNodeHold::BlockNodeHold(SgSystemCalls& calls, const std::string& sgPath) : calls_(calls) {
  const std::string node = calls_.BlockNodeOf(sgPath);
  if (node.empty()) return;
  fd_ = calls_.Open(node, O_RDWR | HOLD_FLAGS);
  // Read-only still keeps exclusive openers off and the options quiet,
  // though the polling goes on.
  if (fd_ < 0 && (errno == EROFS || errno == EACCES)) fd_ = calls_.Open(node, O_RDONLY | HOLD_FLAGS);
  if (fd_ < 0) return;
  // An argument of 0 changes nothing and returns the options as they are.
  const int options = calls_.Ioctl(fd_, CDROM_SET_OPTIONS, ByValue(0));
  if (options < 0) return;
  const int toTurnOff = options & QUIETED_OPTIONS;
  if (toTurnOff != 0 && calls_.Ioctl(fd_, CDROM_CLEAR_OPTIONS, ByValue(toTurnOff)) >= 0) turnedOff_ = toTurnOff;
}

BlockNodeHold::~BlockNodeHold() {
  if (fd_ < 0) return;
  // The driver takes these back one at a time.
  for (const int option : {CDO_AUTO_CLOSE, CDO_LOCK})
    if ((turnedOff_ & option) != 0) calls_.Ioctl(fd_, CDROM_SET_OPTIONS, ByValue(option));
  calls_.Close(fd_);
}

}  // namespace platform
