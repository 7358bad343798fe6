#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
  if (path.empty()) return;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    ::close(fd);
    return;
  }
  handle_ = fd;
  size_ = static_cast<uint64_t>(info.st_size);
  permissions_ = static_cast<uint32_t>(info.st_mode & 07777);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
}

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (!IsOpen()) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // an error, or the file ends early
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace platform
