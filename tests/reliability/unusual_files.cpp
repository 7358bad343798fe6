#include "tests/reliability/unusual_files.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace reliability {

SocketFile::SocketFile(std::string path) : path_(std::move(path)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd_ < 0) return;
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 1) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SocketFile::~SocketFile() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(path_.c_str());
}

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool MakeUnreadable(const std::string& path) {
  std::error_code ec;
  std::filesystem::permissions(path, std::filesystem::perms::none, ec);
  if (ec) return false;
  std::ifstream probe(path, std::ios::binary);
  return !probe.is_open();
}

}  // namespace reliability
