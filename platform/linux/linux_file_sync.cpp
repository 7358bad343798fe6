#include "platform/file_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {

// The descriptor is closed whatever happens.
class ReadOnlyFd {
 public:
  ReadOnlyFd(const std::string& path, int extraFlags)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | extraFlags)) {}
  ~ReadOnlyFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFd(const ReadOnlyFd&) = delete;
  ReadOnlyFd& operator=(const ReadOnlyFd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// 0, or the errno of the failure.
int Sync(const std::string& path, int extraFlags) {
  ReadOnlyFd fd(path, extraFlags);
  if (fd.Get() < 0) return errno;
  // fsync acts on the file, not on the descriptor: one opened for reading
  // pushes out what another descriptor wrote.
  int result;
  do {
    result = ::fsync(fd.Get());
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace

bool SyncFileData(const std::string& path, std::string& error) {
  const int failure = Sync(path, 0);
  if (failure != 0) error = std::strerror(failure);
  return failure == 0;
}

bool SyncFolderOf(const std::string& path, std::string& error) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  const int failure = Sync(folder.string(), O_DIRECTORY);
  // EINVAL: the file system keeps no folder data of its own to push out.
  if (failure != 0 && failure != EINVAL) error = std::strerror(failure);
  return failure == 0 || failure == EINVAL;
}

}  // namespace platform
