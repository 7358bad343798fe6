// A stand-in for the Linux sg driver, preloaded (LD_PRELOAD) into the real
// product binary so that the whole program, down to its own pass-through
// code, can be tested end to end without a drive: open/ioctl/write/read/
// poll/close of /dev/sgN are routed to a virtual RT-5800B (driver.h says
// how the driver is modelled); every other file goes to the system.
//
// Configured by the environment variable ZX_SG_STANDIN, "key=value" entries
// separated by ';':
//   dir=D          folder of the nodes' backing files (D/sgN, real files, so
//                  that flock between processes is the system's own; D/sgN.open
//                  carries the driver's open count, for O_EXCL)
//   node=N         /dev/sgN carries the virtual drive (default 0)
//   denied=N       /dev/sgN exists but refuses to open (permission denied)
//   wedged=N       /dev/sgN opens, and every command on it hangs
//   log=FILE       the drive's command log (emulator/command_log.h format)
//   latency=MS     each command is answered this long after the drive took it
//   scale=X        a hung command returns after X times its time-out (default 1)
//   host=K:N:S     the N-th command of kind K reaches the drive, which acts
//                  on it, and then comes back with host status S (hex), as
//                  after a bus reset
//   hang=K:N       the N-th command of kind K never reaches the drive and
//                  hangs until its time-out (times the scale)
// Kinds as in emulator/command_kind.h ("erase", "program", "inquiry", ...).
// Threads: the interposed calls may come from any thread.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "tests/support/sg_standin/driver.h"

namespace sg_standin {

namespace {

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// "K:N" or "K:N:S" (S in hex).
bool ParseFault(const std::string& value, KindFault& fault) {
  char kind[32] = {};
  unsigned nth = 0, status = 0;
  if (std::sscanf(value.c_str(), "%31[^:]:%u:%x", kind, &nth, &status) < 2) return false;
  const auto parsed = emulator::ParseCommandKind(kind);
  if (parsed) fault = {*parsed, nth, static_cast<uint8_t>(status)};
  return parsed.has_value();
}

// From ZX_SG_STANDIN; std::nullopt when it is missing or malformed.
std::optional<Config> ReadConfig() {
  const char* text = std::getenv("ZX_SG_STANDIN");
  if (text == nullptr) return std::nullopt;
  std::map<std::string, std::string> given;
  std::istringstream entries(text);
  for (std::string entry; std::getline(entries, entry, ';');)
    if (const auto eq = entry.find('='); eq != std::string::npos)
      given[entry.substr(0, eq)] = entry.substr(eq + 1);
  const auto number = [&](const char* key, double otherwise) {
    return given.count(key) != 0 ? std::stod(given[key]) : otherwise;
  };
  Config config;
  try {
    if (given.count("dir") != 0) config.dir = given["dir"];
    config.log = given["log"];
    config.node = static_cast<int>(number("node", 0));
    config.denied = static_cast<int>(number("denied", -1));
    config.wedged = static_cast<int>(number("wedged", -1));
    config.latencyMs = static_cast<uint32_t>(number("latency", 0));
    config.scale = number("scale", 1.0);
    if (given.count("host") != 0 && !ParseFault(given["host"], config.host)) return std::nullopt;
    if (given.count("hang") != 0 && !ParseFault(given["hang"], config.hang)) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return config;
}

std::atomic<Driver*> made{nullptr};

// Made at the first open of an sg node (so that other processes started
// with the same environment, a shell or `timeout`, touch no file of the
// drive's), never destroyed: a worker may still be inside a call while the
// process ends. The dump is written by the destructor below.
Driver* TheDriver(bool make) {
  if (!make) return made.load();
  static Driver* driver = [] {
    const auto config = ReadConfig();
    Driver* d = config ? new Driver(*config) : nullptr;
    made.store(d);
    return d;
  }();
  return driver;
}

// The driver when `fd` is one of its nodes.
Driver* Owner(int fd) {
  Driver* driver = TheDriver(false);
  return driver != nullptr && driver->Owns(fd) ? driver : nullptr;
}

__attribute__((destructor)) void Conclude() {
  if (Driver* driver = TheDriver(false)) driver->Conclude();
}

// The driver's descriptor (or -1) for an sg node it carries; -2 for any
// other file, which the system's own call of the same name then opens.
int OpenNode(const char* path, int flags) {
  if (path != nullptr && std::strncmp(path, "/dev/sg", 7) == 0)
    if (Driver* driver = TheDriver(true)) return driver->Open(path, flags);
  // Its drives have no block node: the machine's own optical drive, which
  // sysfs may pair with a node number the stand-in carries, is left alone.
  if (path != nullptr && std::strncmp(path, "/dev/sr", 7) == 0 && TheDriver(true) != nullptr) {
    errno = ENOENT;
    return -1;
  }
  return -2;
}

// poll() with each of our nodes replaced by its readiness descriptor.
int PollAny(pollfd* fds, nfds_t count, int timeoutMs) {
  static const auto realPoll = Next<int (*)(pollfd*, nfds_t, int)>("poll");
  Driver* driver = TheDriver(false);
  if (driver == nullptr) return realPoll(fds, count, timeoutMs);
  std::vector<pollfd> watched(fds, fds + count);
  std::vector<std::shared_ptr<Node>> keep(count);
  for (nfds_t i = 0; i < count; ++i)
    if (const int ready = driver->ReadinessFd(fds[i].fd, keep[i]); ready >= 0) watched[i].fd = ready;
  const int n = realPoll(watched.data(), count, timeoutMs);
  for (nfds_t i = 0; i < count; ++i) fds[i].revents = watched[i].revents;
  return n;
}

}  // namespace

}  // namespace sg_standin

// The interposed system calls. The variadic mode is read only with O_CREAT,
// as the system does.
#define ZX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
mode_t ModeOf(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}
}  // namespace

// Each call goes on to the system's call of its own name: an open with
// O_CREAT must never reach __open_2, which ends the process for it.
#define ZX_INTERPOSE_OPEN(name)                                                       \
  ZX_EXPORT int name(const char* path, int flags, ...) {                              \
    va_list args;                                                                     \
    va_start(args, flags);                                                            \
    const mode_t mode = ModeOf(flags, args);                                          \
    va_end(args);                                                                     \
    if (const int fd = sg_standin::OpenNode(path, flags); fd != -2) return fd;        \
    static const auto real = sg_standin::Next<int (*)(const char*, int, ...)>(#name); \
    return real(path, flags, mode);                                                   \
  }
ZX_INTERPOSE_OPEN(open)
ZX_INTERPOSE_OPEN(open64)

// What open() becomes in a build with _FORTIFY_SOURCE (the Release
// product) when its flags are not known at compile time.
#define ZX_INTERPOSE_FORTIFIED_OPEN(name)                                        \
  ZX_EXPORT int name(const char* path, int flags) {                              \
    if (const int fd = sg_standin::OpenNode(path, flags); fd != -2) return fd;   \
    static const auto real = sg_standin::Next<int (*)(const char*, int)>(#name); \
    return real(path, flags);                                                    \
  }
ZX_INTERPOSE_FORTIFIED_OPEN(__open_2)
ZX_INTERPOSE_FORTIFIED_OPEN(__open64_2)

ZX_EXPORT int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (sg_standin::Driver* driver = sg_standin::Owner(fd)) return driver->Ioctl(fd, request, arg);
  static const auto realIoctl = sg_standin::Next<int (*)(int, unsigned long, ...)>("ioctl");
  return realIoctl(fd, request, arg);
}

ZX_EXPORT ssize_t write(int fd, const void* buffer, size_t count) {
  if (sg_standin::Driver* driver = sg_standin::Owner(fd)) return driver->Write(fd, buffer, count);
  static const auto realWrite = sg_standin::Next<ssize_t (*)(int, const void*, size_t)>("write");
  return realWrite(fd, buffer, count);
}

ZX_EXPORT ssize_t read(int fd, void* buffer, size_t count) {
  if (sg_standin::Driver* driver = sg_standin::Owner(fd)) return driver->Read(fd, buffer, count);
  static const auto realRead = sg_standin::Next<ssize_t (*)(int, void*, size_t)>("read");
  return realRead(fd, buffer, count);
}

// What read() becomes in a build with _FORTIFY_SOURCE.
ZX_EXPORT ssize_t __read_chk(int fd, void* buffer, size_t count, size_t size) {
  if (sg_standin::Driver* driver = sg_standin::Owner(fd)) return driver->Read(fd, buffer, count);
  static const auto realRead = sg_standin::Next<ssize_t (*)(int, void*, size_t, size_t)>("__read_chk");
  return realRead(fd, buffer, count, size);
}

ZX_EXPORT int poll(pollfd* fds, nfds_t count, int timeoutMs) {
  return sg_standin::PollAny(fds, count, timeoutMs);
}

ZX_EXPORT int __poll_chk(pollfd* fds, nfds_t count, int timeoutMs, size_t) {
  return sg_standin::PollAny(fds, count, timeoutMs);
}

ZX_EXPORT int close(int fd) {
  if (sg_standin::Driver* driver = sg_standin::TheDriver(false)) driver->Forget(fd);
  static const auto realClose = sg_standin::Next<int (*)(int)>("close");
  return realClose(fd);
}
