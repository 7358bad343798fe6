#include "platform/linux/sg_node_holder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace platform {

namespace {

std::string Named(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return "process " + pid + (name.empty() ? std::string() : " (" + name + ")");
}

// Lines like "1: FLOCK  ADVISORY  WRITE 4321 00:05:1042 0 EOF".
std::string LockHolder(const struct stat& file) {
  std::ostringstream wanted;
  wanted << std::hex;
  wanted.width(2);
  wanted.fill('0');
  wanted << major(file.st_dev) << ':';
  wanted.width(2);
  wanted << minor(file.st_dev) << ':' << std::dec << file.st_ino;
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, path;
    fields >> number >> kind;
    if (kind == "->") fields >> kind;  // a waiter, listed under the holder
    fields >> mode >> access >> pid >> path;
    if (kind == "FLOCK" && path == wanted.str()) return Named(pid);
  }
  return {};
}

using Folder = std::unique_ptr<DIR, int (*)(DIR*)>;

Folder OpenFolder(const std::string& path) { return Folder(::opendir(path.c_str()), &::closedir); }

bool HasOpen(const std::string& pid, const struct stat& file) {
  const std::string folder = "/proc/" + pid + "/fd/";
  const Folder fds = OpenFolder(folder);
  if (!fds) return false;  // another user's, or gone
  while (const dirent* entry = ::readdir(fds.get())) {
    struct stat seen {};
    if (entry->d_name[0] != '.' && ::stat((folder + entry->d_name).c_str(), &seen) == 0 &&
        seen.st_dev == file.st_dev && seen.st_ino == file.st_ino)
      return true;
  }
  return false;
}

std::string Opener(const struct stat& file) {
  const std::string self = std::to_string(::getpid());
  const Folder proc = OpenFolder("/proc");
  if (!proc) return {};
  while (const dirent* entry = ::readdir(proc.get())) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") == std::string::npos && pid != self && HasOpen(pid, file))
      return Named(pid);
  }
  return {};
}

}  // namespace

std::string NodeHolder(int fd) {
  struct stat file {};
  if (::fstat(fd, &file) != 0) return {};
  std::string holder = LockHolder(file);
  return holder.empty() ? Opener(file) : holder;
}

}  // namespace platform
