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
//   latency=MS     each command takes this long at the drive
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
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "emulator/command_kind.h"
#include "emulator/drive_bench.h"

namespace sg_standin {

namespace {

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
  uint32_t latencyMs = 0;
  double scale = 1.0;
  KindFault host;
  KindFault hang;
};

constexpr unsigned char DID_TIME_OUT = 0x03;
constexpr unsigned char DRIVER_SENSE = 0x08;
constexpr int MAX_TRANSFER = 65536;

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

// One process-wide stand-in: the drive, the open descriptors, the counts.
class Driver {
 public:
  explicit Driver(Config config) : config_(std::move(config)) {
    std::string error;  // a log that cannot be made shows as an empty log
    emulator::DriveBenchOptions options;
    options.logPath = config_.log;
    bench_ = std::make_unique<emulator::DriveBench>(options, error);
  }

  // -2: not a node of ours; else the open's result.
  int Open(const char* path) {
    int node = -1;
    if (std::sscanf(path, "/dev/sg%d", &node) != 1 || std::strncmp(path, "/dev/sg", 7) != 0) return -2;
    if (node == config_.denied) {
      errno = EACCES;
      return -1;
    }
    if (node != config_.node && node != config_.wedged) {
      errno = ENOENT;
      return -1;
    }
    const std::string backing = config_.dir + "/sg" + std::to_string(node);
    static const auto realOpen = Next<int (*)(const char*, int, ...)>("open");
    const int fd = realOpen(backing.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return fd;
    std::lock_guard guard(lock_);
    nodes_[fd] = node;
    return fd;
  }

  bool Owns(int fd) {
    std::lock_guard guard(lock_);
    return nodes_.count(fd) != 0;
  }

  void Forget(int fd) {
    std::lock_guard guard(lock_);
    nodes_.erase(fd);
  }

  int Ioctl(int fd, unsigned long request, void* arg) {
    if (request == BLKSECTGET || request == SG_GET_RESERVED_SIZE) {
      *static_cast<int*>(arg) = MAX_TRANSFER;
      return 0;
    }
    if (request != SG_IO) {
      errno = ENOTTY;
      return -1;
    }
    auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
    int node;
    {
      std::lock_guard guard(lock_);
      node = nodes_[fd];
    }
    return SgIo(node, hdr);
  }

  void Conclude() { bench_->Conclude(); }

 private:
  // Counts the command's kind; the fault that applies to it, if any.
  bool Counted(const KindFault& fault, emulator::CommandKind kind,
               std::map<emulator::CommandKind, uint32_t>& seen) {
    return fault.nth != 0 && fault.kind == kind && seen[kind] == fault.nth;
  }

  int SgIo(int node, sg_io_hdr_t& hdr) {
    const auto kind = emulator::ClassifyCommand(hdr.cmdp, hdr.cmd_len);
    bool hang = node == config_.wedged;
    bool lose = false;
    {
      std::lock_guard guard(lock_);
      ++seen_[kind];
      hang = hang || Counted(config_.hang, kind, seen_);
      lose = Counted(config_.host, kind, seen_);
    }
    hdr.status = hdr.host_status = hdr.driver_status = 0;
    hdr.sb_len_wr = 0;
    hdr.resid = 0;
    if (hang) {
      std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(hdr.timeout * config_.scale));
      hdr.host_status = DID_TIME_OUT;
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(config_.latencyMs));
    emulator::DataDirection direction = emulator::DataDirection::None;
    if (hdr.dxfer_direction == SG_DXFER_FROM_DEV) direction = emulator::DataDirection::In;
    if (hdr.dxfer_direction == SG_DXFER_TO_DEV) direction = emulator::DataDirection::Out;
    emulator::ScsiCommand command{hdr.cmdp, hdr.cmd_len, direction, static_cast<uint8_t*>(hdr.dxferp),
                                  hdr.dxfer_len};
    emulator::ScsiReply reply;
    if (!bench_->Device(0).Execute(command, reply)) {
      hdr.host_status = DID_TIME_OUT;
      return 0;
    }
    if (lose) {
      hdr.host_status = config_.host.hostStatus;
      return 0;
    }
    hdr.status = reply.status;
    hdr.masked_status = reply.status >> 1;
    hdr.sb_len_wr = std::min<unsigned>(reply.senseLen, hdr.mx_sb_len);
    if (hdr.sb_len_wr > 0) {
      std::memcpy(hdr.sbp, reply.sense.data(), hdr.sb_len_wr);
      hdr.driver_status = DRIVER_SENSE;
    }
    hdr.resid = static_cast<int>(hdr.dxfer_len - std::min(reply.transferred, hdr.dxfer_len));
    return 0;
  }

  const Config config_;
  std::unique_ptr<emulator::DriveBench> bench_;
  std::mutex lock_;
  std::map<int, int> nodes_;
  std::map<emulator::CommandKind, uint32_t> seen_;
};

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

__attribute__((destructor)) void Conclude() {
  if (Driver* driver = TheDriver(false)) driver->Conclude();
}

int OpenAny(const char* name, const char* path, int flags, mode_t mode) {
  if (path != nullptr && std::strncmp(path, "/dev/sg", 7) == 0)
    if (Driver* driver = TheDriver(true)) {
      const int fd = driver->Open(path);
      if (fd != -2) return fd;
    }
  static const auto realOpen = Next<int (*)(const char*, int, ...)>(name);
  return realOpen(path, flags, mode);
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

ZX_EXPORT int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return sg_standin::OpenAny("open", path, flags, mode);
}

ZX_EXPORT int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return sg_standin::OpenAny("open64", path, flags, mode);
}

ZX_EXPORT int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (sg_standin::Driver* driver = sg_standin::TheDriver(false); driver && driver->Owns(fd))
    return driver->Ioctl(fd, request, arg);
  static const auto realIoctl = sg_standin::Next<int (*)(int, unsigned long, ...)>("ioctl");
  return realIoctl(fd, request, arg);
}

ZX_EXPORT int close(int fd) {
  if (sg_standin::Driver* driver = sg_standin::TheDriver(false)) driver->Forget(fd);
  static const auto realClose = sg_standin::Next<int (*)(int)>("close");
  return realClose(fd);
}
