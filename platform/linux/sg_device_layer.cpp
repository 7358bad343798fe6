#include "platform/linux/sg_device_layer.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <scsi/sg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "platform/adapter_bus_info.h"
#include "platform/linux/block_node_hold.h"
#include "platform/linux/sg_node_holder.h"
#include "platform/thread.h"

namespace platform {

const int SG_OPEN_FLAGS = O_RDWR | O_NONBLOCK | O_CLOEXEC;
const int SG_RUN_OPEN_FLAGS = SG_OPEN_FLAGS | O_EXCL;

namespace {

constexpr uint32_t INQUIRY_LENGTH = 36;
constexpr uint32_t PAGE_BYTES = 4096;
// Driver status: the low four bits are a code, the high four a suggestion.
// DRIVER_SENSE only says that sense data came back with the SCSI status, so
// it is part of a completed command, not a failed one.
constexpr unsigned DRIVER_CODE_MASK = 0x0F;
constexpr unsigned DRIVER_SENSE = 0x08;
// How often a reply is looked for when poll() cannot wait for it.
constexpr uint32_t REPLY_RECHECK_MS = 10;

class RealCalls final : public SgSystemCalls {
 public:
  int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags); }
  int Ioctl(int fd, unsigned long request, void* arg) override { return ::ioctl(fd, request, arg); }
  long Write(int fd, const void* buffer, unsigned long count) override { return ::write(fd, buffer, count); }
  long Read(int fd, void* buffer, unsigned long count) override { return ::read(fd, buffer, count); }
  int PollIn(int fd, int timeoutMs) override {
    pollfd watched{fd, POLLIN, 0};
    const int n = ::poll(&watched, 1, timeoutMs);
    return n <= 0 ? n : watched.revents;
  }
  void Close(int fd) override { ::close(fd); }
  int Flock(int fd, int operation) override { return ::flock(fd, operation); }
  std::string LockHolder(int fd) override { return NodeHolder(fd); }
  std::string BlockNodeOf(const std::string& sgPath) override {
    const std::string name = sgPath.substr(sgPath.rfind('/') + 1);
    DIR* folder = ::opendir(("/sys/class/scsi_generic/" + name + "/device/block").c_str());
    if (folder == nullptr) return {};
    std::string node;
    while (const dirent* entry = ::readdir(folder))
      if (entry->d_name[0] != '.') node = std::string("/dev/") + entry->d_name;
    ::closedir(folder);
    return node;
  }
};

// A call that reached the device but did not complete there.
bool TransportFailed(const sg_io_hdr_t& hdr) {
  const unsigned driverCode = hdr.driver_status & DRIVER_CODE_MASK;
  return hdr.host_status != 0 || (driverCode != 0 && driverCode != DRIVER_SENSE);
}

// Errors of write() that the sg driver gives before it submits the command
// (checking, allocating, copying in the request and its data, a device
// being removed). Submission is the last thing write() does, so no error
// comes after it; one not listed here is still taken as possibly sent.
bool RefusedBeforeSubmission(int error) {
  switch (error) {
    case EBADF:
    case EINVAL:
    case ENOMEM:
    case EAGAIN:
    case EBUSY:
    case EDOM:
    case EPERM:
    case EACCES:
    case ENODEV:
    case ENXIO:
    case ENOSYS:
    case EMSGSIZE:
    case EFAULT:
      return true;
    default:
      return false;
  }
}

// Tells one submission's reply from another's on the same descriptor (a
// call given up on by the simulator may still wait there). Never negative:
// -1 asks read() for any reply.
int NextPackId() {
  static std::atomic<int> last{0};
  int id = last.load();
  int next;
  do {
    next = id == INT_MAX ? 1 : id + 1;
  } while (!last.compare_exchange_weak(id, next));
  return next;
}

}  // namespace

SgSystemCalls& RealSgSystemCalls() {
  static RealCalls calls;
  return calls;
}

std::string SgNodePath(uint8_t driveLetterIndex) { return "/dev/sg" + std::to_string(driveLetterIndex); }

uint32_t SgTimeoutMs(uint32_t seconds) {
  return static_cast<uint32_t>(std::min(seconds, SG_KERNEL_TIMEOUT_MAX_S)) * 1000;
}

// One open descriptor, closed when its last user lets go; or, with fd -1,
// a handle's node that could not be opened again yet. A run's descriptor
// holds the drive's block node too, let go after it.
class SgDeviceLayer::Descriptor {
 public:
  Descriptor(SgSystemCalls& calls, int fd, std::string path)
      : calls_(calls), fd_(fd), path_(std::move(path)) {}
  ~Descriptor() {
    if (fd_ >= 0) calls_.Close(fd_);
    blockNode_.reset();
  }
  void HoldBlockNode() { blockNode_ = std::make_unique<BlockNodeHold>(calls_, path_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  SgSystemCalls& calls_;
  const int fd_;
  const std::string path_;
  std::unique_ptr<BlockNodeHold> blockNode_;
};

// A flock on the node's exclusive descriptor, which it keeps open. Let go,
// it reopens the node plainly, so that other programs may open it again
// while this one's window stays.
class SgDeviceLayer::NodeLock final : public DeviceLock {
 public:
  NodeLock(SgDeviceLayer& layer, DeviceHandle h, std::shared_ptr<Descriptor> descriptor)
      : layer_(layer), h_(h), descriptor_(std::move(descriptor)) {}
  ~NodeLock() override {
    layer_.calls_.Flock(descriptor_->fd(), LOCK_UN);
    const std::string path = descriptor_->path();
    descriptor_.reset();
    // Only the handle's descriptor is replaced; a handle closed meanwhile stays closed.
    if (layer_.Find(h_)) layer_.Reopen(h_, path, SG_OPEN_FLAGS);
  }
  NodeLock(const NodeLock&) = delete;
  NodeLock& operator=(const NodeLock&) = delete;

 private:
  SgDeviceLayer& layer_;
  const DeviceHandle h_;
  std::shared_ptr<Descriptor> descriptor_;
};

SgDeviceLayer::SgDeviceLayer(SgSystemCalls& calls) : calls_(calls) {}

SgDeviceLayer::~SgDeviceLayer() = default;

int SgDeviceLayer::OpenNode(const std::string& path, int flags) {
  const int fd = calls_.Open(path, flags);
  if (fd < 0) return fd;
  // read() then takes only the reply asked for by its pack_id.
  int one = 1;
  if (calls_.Ioctl(fd, SG_SET_FORCE_PACK_ID, &one) == 0) return fd;
  const int error = errno;
  calls_.Close(fd);
  errno = error;
  return -1;
}

std::string SgDeviceLayer::Holder(const std::string& path, int fd) {
  if (fd >= 0) return calls_.LockHolder(fd);
  // A path descriptor does not open the device, so the driver's exclusion does not refuse it.
  const int pathFd = calls_.Open(path, O_PATH | O_CLOEXEC);
  if (pathFd < 0) return {};
  std::string holder = calls_.LockHolder(pathFd);
  calls_.Close(pathFd);
  return holder;
}

std::string SgDeviceLayer::HeldBy(const std::string& path, int fd) {
  const std::string holder = Holder(path, fd);
  return path + " is in use by " + (holder.empty() ? std::string("another program") : holder);
}

DeviceHandle SgDeviceLayer::CreateFile(uint8_t driveLetterIndex) {
  const std::string path = SgNodePath(driveLetterIndex);
  const int fd = OpenNode(path, SG_OPEN_FLAGS);
  if (fd < 0) {
    const int error = errno;
    if (error == EBUSY)
      NoteProblem(path, HeldBy(path, -1) + " and was passed over");
    else
      NoteOpenProblem(path, error);
    return INVALID_HANDLE_VALUE;
  }
  // Tried before anything is sent: another program's run must not meet even an INQUIRY.
  if (calls_.Flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      NoteProblem(path, HeldBy(path, fd) + " and was passed over");
      calls_.Close(fd);
      return INVALID_HANDLE_VALUE;
    }
  } else {
    calls_.Flock(fd, LOCK_UN);
  }
  return handles_.Add(std::make_shared<Descriptor>(calls_, fd, path));
}

bool SgDeviceLayer::Reopen(DeviceHandle h, const std::string& path, int flags) {
  // The old descriptor closes here unless a call still uses it.
  if (!handles_.Take(h)) {
    errno = EBADF;
    return false;
  }
  int fd = OpenNode(path, flags);
  const int error = errno;
  const bool opened = fd >= 0;
  if (!opened) fd = OpenNode(path, SG_OPEN_FLAGS);
  // Even unopened the handle stays: a call given up on may still hold the
  // node exclusively, and once it has ended the next lock opens it again.
  handles_.Put(h, std::make_shared<Descriptor>(calls_, fd, path));
  errno = error;
  return opened;
}

std::unique_ptr<DeviceLock> SgDeviceLayer::LockExclusive(DeviceHandle h, std::string& refusal) {
  auto descriptor = Find(h);
  if (!descriptor) {
    refusal = "the drive is no longer open";
    return nullptr;
  }
  const std::string path = descriptor->path();
  if (descriptor->fd() < 0) {
    descriptor.reset();
    if (!Reopen(h, path, SG_OPEN_FLAGS)) {
      refusal = ExclusiveOpenRefusal(path, errno);
      return nullptr;
    }
    descriptor = Find(h);
  }
  if (calls_.Flock(descriptor->fd(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    refusal = error == EWOULDBLOCK ? HeldBy(path, descriptor->fd())
                                   : path + " cannot be locked: " + std::strerror(error);
    return nullptr;
  }
  // The exclusive open is admitted only once this descriptor, and with it
  // its flock, has gone; the flock is taken again on the new one.
  calls_.Flock(descriptor->fd(), LOCK_UN);
  descriptor.reset();
  if (!Reopen(h, path, SG_RUN_OPEN_FLAGS)) {
    refusal = ExclusiveOpenRefusal(path, errno);
    return nullptr;
  }
  const auto exclusive = Find(h);
  if (!exclusive || calls_.Flock(exclusive->fd(), LOCK_EX | LOCK_NB) != 0) {
    refusal = path + " could not be locked again after its exclusive open";
    Reopen(h, path, SG_OPEN_FLAGS);
    return nullptr;
  }
  exclusive->HoldBlockNode();
  return std::make_unique<NodeLock>(*this, h, exclusive);
}

std::string SgDeviceLayer::ExclusiveOpenRefusal(const std::string& path, int error) {
  const std::string holder = error == EBUSY ? Holder(path, -1) : std::string();
  if (error != EBUSY) return path + " cannot be opened exclusively: " + std::strerror(error);
  if (holder.empty()) return path + " is open in another program (or in a call of this one still running)";
  return path + " is open in " + holder;
}

void SgDeviceLayer::NoteOpenProblem(const std::string& path, int error) {
  // No node, or a node without a device behind it: nothing is there.
  if (error == ENOENT || error == ENODEV || error == ENXIO) return;
  std::string problem = path + " exists but cannot be opened: " + std::strerror(error);
  if (error == EACCES || error == EPERM)
    problem +=
        "; the user needs read-write access to it (membership of the group that owns it, often cdrom, "
        "or a local seat's session, to which systemd grants optical drives)";
  NoteProblem(path, std::move(problem));
}

void SgDeviceLayer::NoteProblem(const std::string& path, std::string problem) {
  (void)problems_.Note(path, std::move(problem));
}

std::vector<std::string> SgDeviceLayer::OpenProblems() const { return problems_.Lines(); }

// The descriptor closes here, or when a call still using it returns.
void SgDeviceLayer::CloseHandle(DeviceHandle h) { (void)handles_.Take(h); }

void SgDeviceLayer::Sleep(uint32_t ms) { SleepMs(ms); }

std::shared_ptr<SgDeviceLayer::Descriptor> SgDeviceLayer::Find(DeviceHandle h) { return handles_.Find(h); }

bool SgDeviceLayer::DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                                    uint32_t outLen) {
  const auto descriptor = Find(h);
  if (!descriptor) return false;
  switch (code) {
    case IOCTL_SCSI_GET_INQUIRY_DATA:
      return AnswerInquiryData(descriptor->fd(), out, outLen);
    case IOCTL_SCSI_GET_CAPABILITIES:
      return AnswerCapabilities(descriptor->fd(), out, outLen);
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
      return PassThrough(descriptor->fd(), in, inLen, out, outLen) == PassThroughResult::Done;
    default:
      return false;
  }
}

PassThroughResult SgDeviceLayer::SendPassThrough(DeviceHandle h, SptdBlock& block) {
  const auto descriptor = Find(h);
  if (!descriptor) return PassThroughResult::NotSent;
  return PassThrough(descriptor->fd(), &block, sizeof block, &block, sizeof block);
}

bool SgDeviceLayer::AnswerInquiryData(int fd, void* out, uint32_t outLen) {
  if (out == nullptr || outLen < AdapterBusInfoSize(INQUIRY_LENGTH)) return false;
  std::array<unsigned char, 6> cdb{0x12, 0, 0, 0, INQUIRY_LENGTH, 0};
  std::array<uint8_t, INQUIRY_LENGTH> data{};
  std::array<unsigned char, SG_SENSE_MAX_LEN> sense{};
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  hdr.dxfer_direction = SG_DXFER_FROM_DEV;
  hdr.cmd_len = cdb.size();
  hdr.mx_sb_len = sense.size();
  hdr.dxfer_len = INQUIRY_LENGTH;
  hdr.dxferp = data.data();
  hdr.cmdp = cdb.data();
  hdr.sbp = sense.data();
  hdr.timeout = SG_INQUIRY_TIMEOUT_MS;
  if (Exchange(fd, hdr) != PassThroughResult::Done || TransportFailed(hdr) || hdr.status != 0) return false;
  return WriteAdapterBusInfo(out, outLen, data.data(), INQUIRY_LENGTH);
}

bool SgDeviceLayer::AnswerCapabilities(int fd, void* out, uint32_t outLen) {
  if (out == nullptr || outLen < sizeof(IO_SCSI_CAPABILITIES)) return false;
  // On an sg node BLKSECTGET answers in bytes (on a block node it would be
  // sectors). The reserved buffer size is the fallback for kernels without it.
  int maxBytes = 0;
  if (calls_.Ioctl(fd, BLKSECTGET, &maxBytes) < 0 || maxBytes <= 0) {
    maxBytes = 0;
    if (calls_.Ioctl(fd, SG_GET_RESERVED_SIZE, &maxBytes) < 0 || maxBytes <= 0) return false;
  }
  IO_SCSI_CAPABILITIES caps{};
  caps.Length = sizeof caps;
  caps.MaximumTransferLength = static_cast<uint32_t>(maxBytes);
  caps.MaximumPhysicalPages = caps.MaximumTransferLength / PAGE_BYTES;
  // sg moves data through its own kernel buffers unless direct I/O is asked
  // for, so the caller's buffer needs no alignment.
  caps.AlignmentMask = 0;
  std::memcpy(out, &caps, sizeof caps);
  return true;
}

PassThroughResult SgDeviceLayer::PassThrough(int fd, void* in, uint32_t inLen, void* out, uint32_t outLen) {
  constexpr PassThroughResult refused = PassThroughResult::NotSent;
  if (in == nullptr || out == nullptr || inLen < sizeof(SptdBlock) || outLen < sizeof(SptdBlock))
    return refused;
  if (in != out) std::memcpy(out, in, sizeof(SptdBlock));
  auto& sptd = static_cast<SptdBlock*>(out)->sptd;
  if (sptd.CdbLength == 0 || sptd.CdbLength > sizeof sptd.Cdb) return refused;
  const uint32_t senseLen = std::min<uint32_t>(sptd.SenseInfoLength, SG_SENSE_MAX_LEN);
  if (senseLen > 0 && uint64_t{sptd.SenseInfoOffset} + senseLen > outLen) return refused;
  if (sptd.DataTransferLength > 0 && sptd.DataBuffer == nullptr) return refused;

  int direction = SG_DXFER_NONE;
  if (sptd.DataTransferLength > 0) {
    if (sptd.DataIn == SCSI_IOCTL_DATA_IN)
      direction = SG_DXFER_FROM_DEV;
    else if (sptd.DataIn == SCSI_IOCTL_DATA_OUT)
      direction = SG_DXFER_TO_DEV;
    else
      return refused;
  }
  std::array<unsigned char, SG_SENSE_MAX_LEN> sense{};
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  hdr.dxfer_direction = direction;
  hdr.cmd_len = sptd.CdbLength;
  hdr.mx_sb_len = static_cast<unsigned char>(senseLen);
  hdr.dxfer_len = sptd.DataTransferLength;
  hdr.dxferp = sptd.DataTransferLength > 0 ? sptd.DataBuffer : nullptr;
  hdr.cmdp = sptd.Cdb;
  hdr.sbp = sense.data();
  hdr.timeout = SgTimeoutMs(sptd.TimeOutValue);
  // Any answer of the host adapter after submission is final: a reset or a
  // time-out there may come after the drive has acted on the command.
  if (const PassThroughResult exchanged = Exchange(fd, hdr); exchanged != PassThroughResult::Done)
    return exchanged;
  if (TransportFailed(hdr)) return PassThroughResult::Failed;

  sptd.ScsiStatus = hdr.status;
  const uint32_t senseWritten = std::min<uint32_t>(hdr.sb_len_wr, senseLen);
  std::memcpy(static_cast<uint8_t*>(out) + sptd.SenseInfoOffset, sense.data(), senseWritten);
  const uint32_t resid = hdr.resid > 0 ? static_cast<uint32_t>(hdr.resid) : 0;
  sptd.DataTransferLength -= std::min(resid, sptd.DataTransferLength);
  return PassThroughResult::Done;
}

PassThroughResult SgDeviceLayer::Exchange(int fd, sg_io_hdr_t& hdr) {
  hdr.pack_id = NextPackId();
  const sg_io_hdr_t submitted = hdr;
  const long written = calls_.Write(fd, &hdr, sizeof hdr);
  if (written < 0)
    return RefusedBeforeSubmission(errno) ? PassThroughResult::NotSent : PassThroughResult::Failed;
  if (written != static_cast<long>(sizeof hdr)) return PassThroughResult::Failed;
  // Submitted: from here on nothing is sent again, whatever happens. The
  // kernel answers within the header's time-out, so the wait needs none of
  // its own; a wait broken by a signal or a stop is taken up again.
  for (;;) {
    const int events = calls_.PollIn(fd, -1);
    // A failed poll() says nothing about the reply, which still comes within
    // the header's time-out; left unread, it would keep the node readable and
    // every later command's wait would spin on it. So the wait goes on by
    // reading at intervals.
    const bool pollFailed = events < 0 && errno != EINTR && errno != EAGAIN;
    // read() finds the reply by the pack_id of a v3 header (its negative
    // direction tells the driver it is one), so the submitted header is it.
    sg_io_hdr_t reply = submitted;
    if (calls_.Read(fd, &reply, sizeof reply) == static_cast<long>(sizeof reply)) {
      hdr = reply;
      return PassThroughResult::Done;
    }
    if (errno != EAGAIN && errno != EINTR) return PassThroughResult::Failed;  // ENODEV: the device went
    // Woken for another submission's reply (a call given up on) or by a
    // broken device; the first is collected by its own caller soon.
    if (events > 0 && (events & (POLLERR | POLLHUP | POLLNVAL)) != 0) return PassThroughResult::Failed;
    if (pollFailed)
      SleepMs(REPLY_RECHECK_MS);
    else if (events > 0)
      SleepMs(1);
  }
}

}  // namespace platform
