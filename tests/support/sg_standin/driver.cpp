#include "tests/support/sg_standin/driver.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <thread>
#include <utility>
#include <vector>

namespace sg_standin {

namespace {

constexpr unsigned char DID_TIME_OUT = 0x03;
constexpr unsigned char DRIVER_SENSE = 0x08;
constexpr int MAX_TRANSFER = 65536;
constexpr std::size_t MAX_QUEUE = 16;  // the driver's SG_MAX_QUEUE

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The system's own calls: the stand-in's descriptors never pass through the
// interposed ones (which would take the driver's lock).
int RealOpen(const char* path, int flags, mode_t mode = 0) {
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  return real(path, flags, mode);
}
void RealClose(int fd) {
  static const auto real = Next<int (*)(int)>("close");
  if (fd >= 0) real(fd);
}
void Signal(int eventFd) {
  static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  const uint64_t one = 1;
  (void)real(eventFd, &one, sizeof one);
}
void TakeSignal(int eventFd) {
  static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  uint64_t value = 0;
  (void)real(eventFd, &value, sizeof value);
}

void Sleep(double ms) { std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms)); }

}  // namespace

// One open descriptor of a node.
struct Node {
  Node(int number, bool nonBlocking, int openLock)
      : number(number),
        nonBlocking(nonBlocking),
        openLock(openLock),
        ready(eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~Node() {
    RealClose(ready);
    RealClose(openLock);
  }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  const int number;
  const bool nonBlocking;
  // Shared or exclusive flock on D/sgN.open: the open count across processes.
  // Closed with the descriptor, as the driver counts opens, even while
  // commands of it are still at the device. Under the driver's lock.
  int openLock;
  const int ready;  // counts replies of write()n commands waiting for read()
  bool forcePackId = false;
  std::list<std::shared_ptr<Request>> submitted;  // write()n, not yet read; under the driver's lock
};

// One command at the device. The stand-in keeps its own copies of the CDB
// and the data, as the kernel does, and reaches the caller's buffers only
// when the caller collects the reply.
struct Request {
  Request() : done(eventfd(0, EFD_CLOEXEC)) {}
  ~Request() { RealClose(done); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  std::shared_ptr<Node> node;  // null for SG_IO
  sg_io_hdr_t hdr{};           // as submitted, then with the outcome
  std::array<uint8_t, 16> cdb{};
  std::vector<uint8_t> data;
  std::array<uint8_t, 32> sense{};
  bool answered = false;  // under the driver's lock
  const int done;         // signalled once answered
};

namespace {

// The reply into the caller's header and buffers.
void Deliver(const Request& request, sg_io_hdr_t& hdr) {
  const sg_io_hdr_t& r = request.hdr;
  hdr.status = r.status;
  hdr.masked_status = r.masked_status;
  hdr.host_status = r.host_status;
  hdr.driver_status = r.driver_status;
  hdr.sb_len_wr = r.sb_len_wr;
  hdr.resid = r.resid;
  hdr.pack_id = r.pack_id;
  hdr.usr_ptr = r.usr_ptr;
  if (r.sb_len_wr > 0) std::memcpy(r.sbp, request.sense.data(), r.sb_len_wr);
  if (r.dxfer_direction == SG_DXFER_FROM_DEV && !request.data.empty())
    std::memcpy(r.dxferp, request.data.data(), request.data.size());
}

// Waits for the answer as the kernel's SG_IO does, interruptibly: false when
// a stop and continue (or a handler) broke the wait. epoll_wait is one of
// the calls that Linux ends with EINTR after a stop even without a handler.
bool WaitInterruptibly(const Request& request) {
  const int epoll = epoll_create1(EPOLL_CLOEXEC);
  epoll_event watch{};
  watch.events = EPOLLIN;
  epoll_ctl(epoll, EPOLL_CTL_ADD, request.done, &watch);
  epoll_event got{};
  int n;
  while ((n = epoll_wait(epoll, &got, 1, -1)) == 0) {
  }
  RealClose(epoll);
  return n > 0;
}

}  // namespace

Driver::Driver(Config config) : config_(std::move(config)) {
  std::string error;  // a log that cannot be made shows as an empty log
  emulator::DriveRowOptions options;
  options.logPath = config_.log;
  row_ = std::make_unique<emulator::DriveRow>(options, error);
}

int Driver::Open(const char* path, int flags) {
  int number = -1;
  if (std::strncmp(path, "/dev/sg", 7) != 0 || std::sscanf(path, "/dev/sg%d", &number) != 1) return -2;
  if (number == config_.denied) {
    errno = EACCES;
    return -1;
  }
  if (number != config_.node && number != config_.wedged) {
    errno = ENOENT;
    return -1;
  }
  const std::string backing = config_.dir + "/sg" + std::to_string(number);
  // A path descriptor never reaches the driver: no exclusion, no commands.
  if ((flags & O_PATH) != 0) return RealOpen(backing.c_str(), O_PATH | O_CLOEXEC);
  const int openLock = RealOpen((backing + ".open").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (openLock < 0) return -1;
  if (flock(openLock, ((flags & O_EXCL) != 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    RealClose(openLock);
    errno = EBUSY;
    return -1;
  }
  const int fd = RealOpen(backing.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    RealClose(openLock);
    return fd;
  }
  auto node = std::make_shared<Node>(number, (flags & O_NONBLOCK) != 0, openLock);
  std::lock_guard guard(lock_);
  nodes_[fd] = std::move(node);
  return fd;
}

std::shared_ptr<Node> Driver::Find(int fd) {
  std::lock_guard guard(lock_);
  const auto it = nodes_.find(fd);
  return it == nodes_.end() ? nullptr : it->second;
}

bool Driver::Owns(int fd) { return Find(fd) != nullptr; }

void Driver::Forget(int fd) {
  std::shared_ptr<Node> closing;  // let go outside the lock
  std::lock_guard guard(lock_);
  if (const auto it = nodes_.find(fd); it != nodes_.end()) {
    closing = std::move(it->second);
    nodes_.erase(it);
    RealClose(std::exchange(closing->openLock, -1));
  }
}

int Driver::ReadinessFd(int fd, std::shared_ptr<Node>& keep) {
  keep = Find(fd);
  return keep ? keep->ready : -1;
}

int Driver::Ioctl(int fd, unsigned long request, void* arg) {
  const auto node = Find(fd);
  if (request == BLKSECTGET || request == SG_GET_RESERVED_SIZE) {
    *static_cast<int*>(arg) = MAX_TRANSFER;
    return 0;
  }
  if (request == SG_SET_FORCE_PACK_ID) {
    std::lock_guard guard(lock_);
    node->forcePackId = *static_cast<int*>(arg) != 0;
    return 0;
  }
  if (request == SG_IO) return SgIo(node, *static_cast<sg_io_hdr_t*>(arg));
  errno = ENOTTY;
  return -1;
}

std::shared_ptr<Request> Driver::Submit(const std::shared_ptr<Node>& node, const sg_io_hdr_t& hdr,
                                        bool async) {
  const auto kind = emulator::ClassifyCommand(hdr.cmdp, hdr.cmd_len);
  auto request = std::make_shared<Request>();
  request->hdr = hdr;
  std::memcpy(request->cdb.data(), hdr.cmdp, std::min<std::size_t>(hdr.cmd_len, request->cdb.size()));
  if (hdr.dxfer_direction == SG_DXFER_TO_DEV || hdr.dxfer_direction == SG_DXFER_FROM_DEV)
    request->data.assign(static_cast<const uint8_t*>(hdr.dxferp),
                         static_cast<const uint8_t*>(hdr.dxferp) + hdr.dxfer_len);
  bool hang = node->number == config_.wedged;
  bool lose = false;
  {
    std::lock_guard guard(lock_);
    ++seen_[kind];
    const auto counted = [&](const KindFault& fault) {
      return fault.nth != 0 && fault.kind == kind && seen_[kind] == fault.nth;
    };
    hang = hang || counted(config_.hang);
    lose = counted(config_.host);
    if (async) {
      request->node = node;
      node->submitted.push_back(request);
    }
  }
  std::thread([this, request, hang, lose] { Answer(request, hang, lose); }).detach();
  return request;
}

// The device's side: a hung command never reaches the drive and comes back
// with a time-out; any other is carried out at once and answered after the
// latency.
void Driver::Answer(const std::shared_ptr<Request>& request, bool hang, bool lose) {
  sg_io_hdr_t& hdr = request->hdr;
  hdr.status = hdr.masked_status = hdr.host_status = hdr.driver_status = 0;
  hdr.sb_len_wr = 0;
  hdr.resid = 0;
  if (hang) {
    Sleep(hdr.timeout * config_.scale);
    hdr.host_status = DID_TIME_OUT;
  } else {
    emulator::DataDirection direction = emulator::DataDirection::None;
    if (hdr.dxfer_direction == SG_DXFER_FROM_DEV) direction = emulator::DataDirection::In;
    if (hdr.dxfer_direction == SG_DXFER_TO_DEV) direction = emulator::DataDirection::Out;
    emulator::ScsiCommand command{request->cdb.data(), hdr.cmd_len, direction, request->data.data(),
                                  static_cast<uint32_t>(request->data.size())};
    emulator::ScsiReply reply;
    bool reached;
    {
      std::lock_guard guard(drive_);
      reached = row_->Device(0).Execute(command, reply);
    }
    Sleep(config_.latencyMs);
    if (!reached) {
      hdr.host_status = DID_TIME_OUT;
    } else if (lose) {
      hdr.host_status = config_.host.hostStatus;
    } else {
      hdr.status = reply.status;
      hdr.masked_status = reply.status >> 1;
      hdr.sb_len_wr = std::min<unsigned>({reply.senseLen, hdr.mx_sb_len, 32u});
      std::memcpy(request->sense.data(), reply.sense.data(), hdr.sb_len_wr);
      if (hdr.sb_len_wr > 0) hdr.driver_status = DRIVER_SENSE;
      hdr.resid = static_cast<int>(hdr.dxfer_len - std::min(reply.transferred, hdr.dxfer_len));
    }
  }
  std::lock_guard guard(lock_);
  request->answered = true;
  Signal(request->done);
  if (request->node) Signal(request->node->ready);
}

int Driver::SgIo(const std::shared_ptr<Node>& node, sg_io_hdr_t& hdr) {
  for (;;) {
    const auto request = Submit(node, hdr, false);
    if (WaitInterruptibly(*request)) {
      std::lock_guard guard(lock_);  // the answer was written under it
      Deliver(*request, hdr);
      return 0;
    }
    // The kernel's restart of the interrupted ioctl: the first command runs
    // on at the device, orphaned, and the same command is submitted again.
  }
}

long Driver::Write(int fd, const void* buffer, unsigned long count) {
  const auto node = Find(fd);
  const auto* hdr = static_cast<const sg_io_hdr_t*>(buffer);
  if (count < sizeof(sg_io_hdr_t) || hdr->interface_id != 'S' || hdr->dxfer_direction >= 0 ||
      hdr->cmd_len == 0 || hdr->cmd_len > 16) {
    errno = EINVAL;
    return -1;
  }
  {
    std::lock_guard guard(lock_);
    if (node->submitted.size() >= MAX_QUEUE) {
      errno = EDOM;
      return -1;
    }
  }
  Submit(node, *hdr, true);
  return static_cast<long>(count);
}

long Driver::Read(int fd, void* buffer, unsigned long count) {
  const auto node = Find(fd);
  auto* hdr = static_cast<sg_io_hdr_t*>(buffer);
  if (count < sizeof(sg_io_hdr_t)) {
    errno = EINVAL;
    return -1;
  }
  for (;;) {
    std::shared_ptr<Request> found;
    {
      std::lock_guard guard(lock_);
      // As the driver: the pack_id of a v3 header (negative direction) when forced, else any reply.
      const int wanted = node->forcePackId && hdr->dxfer_direction < 0 ? hdr->pack_id : -1;
      for (auto it = node->submitted.begin(); it != node->submitted.end(); ++it)
        if ((*it)->answered && (wanted == -1 || (*it)->hdr.pack_id == wanted)) {
          found = *it;
          node->submitted.erase(it);
          TakeSignal(node->ready);
          break;
        }
    }
    if (found) {
      *hdr = found->hdr;
      Deliver(*found, *hdr);
      return static_cast<long>(sizeof(sg_io_hdr_t));
    }
    if (node->nonBlocking) {
      errno = EAGAIN;
      return -1;
    }
    Sleep(1);
  }
}

}  // namespace sg_standin
