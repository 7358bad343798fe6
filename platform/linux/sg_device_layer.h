// The device layer for real drives on Linux: drive-letter index i is the SCSI
// generic node /dev/sg<i>, and the three storage controls become commands
// of the sg driver's asynchronous interface and queue-limit queries on it.
//
// Why write/poll/read and not SG_IO: the sg driver's SG_IO waits
// interruptibly, and when the process is stopped (Ctrl+Z, SIGSTOP, a tracer,
// the cgroup freezer) during the wait the kernel gives the command up to the
// device and, on continue, restarts the ioctl: the same command is submitted
// a second time. Here a command is submitted once by write(); waiting for
// its reply (poll, read by its pack_id) may be interrupted and simply goes
// on, since it submits nothing.
//
// Why /dev/sg* and not /dev/sr*: through an sg node opened read-write the
// kernel passes vendor opcodes gated only by the node's permissions, whereas
// block-layer SG_IO on /dev/sr* refuses opcodes 0xC0-0xFF without
// CAP_SYS_RAWIO. Like a Windows drive letter, a node may be a disk or an
// optical drive; INQUIRY is harmless to both, and vendor commands go only to
// drives whose identity matched.
//
// Handles are this layer's own (platform/device_handle_table.h): a late call
// can never reach a descriptor number the system has reused.
// Threads: any; see platform/device_layer.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_handle_table.h"
#include "platform/device_layer.h"
#include "platform/device_problems.h"

struct sg_io_hdr;

namespace platform {

// The system calls the layer makes; replaced by a recording fake in tests.
// Threads: any.
class SgSystemCalls {
 public:
  virtual ~SgSystemCalls() = default;
  virtual int Open(const std::string& path, int flags) = 0;         // descriptor, or -1
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;  // -1 on failure
  // write(2), read(2) and poll(2) on one descriptor for POLLIN; -1 with errno.
  virtual long Write(int fd, const void* buffer, unsigned long count) = 0;
  virtual long Read(int fd, void* buffer, unsigned long count) = 0;
  // The events that came (revents), 0 on a time-out.
  virtual int PollIn(int fd, int timeoutMs) = 0;
  virtual void Close(int fd) = 0;
  // flock(2); 0 or -1 with errno. Fakes that do not lock keep the default.
  virtual int Flock(int fd, int operation) {
    (void)fd;
    (void)operation;
    return 0;
  }
  // Who holds a lock on the open file, or else has it open: "process 123
  // (name)", or empty.
  virtual std::string LockHolder(int fd) {
    (void)fd;
    return {};
  }
  // The block node of the drive behind an sg node ("/dev/sr0"), or empty
  // when it has none. Fakes without one keep the default.
  virtual std::string BlockNodeOf(const std::string& sgPath) {
    (void)sgPath;
    return {};
  }
};

SgSystemCalls& RealSgSystemCalls();

// Read-write for commands with any opcode; non-blocking so that opening
// never waits behind another process's exclusive open and read() never
// waits (poll() does); close-on-exec so a started child inherits no drive.
extern const int SG_OPEN_FLAGS;
// SG_OPEN_FLAGS and O_EXCL, for the length of a run: the sg driver then
// refuses every other open of the node (with EBUSY), and admits this one
// only while no other descriptor, the program's own included, is open on it.
extern const int SG_RUN_OPEN_FLAGS;
// INQUIRY behind the inquiry-data control: a drive answers it even while
// spinning up; a node that does not answer within this is passed over, so a
// wedged device delays the start-up by this much, not forever.
inline constexpr uint32_t SG_INQUIRY_TIMEOUT_MS = 10000;
// The longest time the kernel holds one pass-through request before it
// aborts it (and, failing that, resets the device): the same bound as on
// every system (platform/device_layer.h).
inline constexpr uint32_t SG_KERNEL_TIMEOUT_MAX_S = PASS_THROUGH_TIMEOUT_MAX_S;
inline constexpr uint32_t SG_SENSE_MAX_LEN = 32;

std::string SgNodePath(uint8_t driveLetterIndex);
// Seconds of the pass-through block to the ioctl's milliseconds, at most
// SG_KERNEL_TIMEOUT_MAX_S.
uint32_t SgTimeoutMs(uint32_t seconds);

class SgDeviceLayer final : public DeviceLayer {
 public:
  explicit SgDeviceLayer(SgSystemCalls& calls = RealSgSystemCalls());
  ~SgDeviceLayer() override;  // closes whatever is still open
  SgDeviceLayer(const SgDeviceLayer&) = delete;
  SgDeviceLayer& operator=(const SgDeviceLayer&) = delete;

  // Before anything is sent, a node that another program holds (its flock,
  // or its exclusive open during a run) is passed over with an OpenProblems
  // line naming the holder where the system tells.
  DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  // NotSent only when the sg driver's write() refused the request before
  // submitting it; anything after submission (a host status, a driver
  // error, the device gone, a reply that cannot be read) is Failed.
  PassThroughResult SendPassThrough(DeviceHandle h, SptdBlock& block) override;
  // flock(LOCK_EX | LOCK_NB) on the node, which is then reopened with
  // SG_RUN_OPEN_FLAGS for the lock's life (and plainly again after it):
  // refused while another program holds the flock or has the node open.
  // The drive's block node is held beside the exclusive descriptor
  // (platform/linux/block_node_hold.h) until that descriptor closes, which
  // is after the lock when a call given up on still uses it.
  // The lock must not outlive the layer.
  std::unique_ptr<DeviceLock> LockExclusive(DeviceHandle h, std::string& refusal) override;
  void CloseHandle(DeviceHandle h) override;
  void Sleep(uint32_t ms) override;

  // One line per node that exists but could not be opened, saying why (and,
  // for a permission, how to get access), in the order met. Such a node is
  // otherwise passed over like an absent one.
  std::vector<std::string> OpenProblems() const override;
  bool InquiryDataSendsInquiry() const override { return true; }

 private:
  void NoteOpenProblem(const std::string& path, int error);
  void NoteProblem(const std::string& path, std::string problem);
  // Who holds `path`, asked through `fd`, or through a path descriptor when
  // it is -1 (the node itself cannot be opened); empty when unknown.
  std::string Holder(const std::string& path, int fd);
  // Why the node could not be opened for a run, the open having failed with `error`.
  std::string ExclusiveOpenRefusal(const std::string& path, int error);
  // "<path> is in use by <holder>".
  std::string HeldBy(const std::string& path, int fd);
  // An open descriptor of the node, set up for the asynchronous interface; -1 with errno.
  int OpenNode(const std::string& path, int flags);
  class Descriptor;
  class NodeLock;

  std::shared_ptr<Descriptor> Find(DeviceHandle h);
  // Puts a descriptor of `path` opened with `flags` behind `h`, after the
  // old one has been let go; false (errno set) when the open failed, and
  // then the node is opened plainly, or, failing that too, left unopened
  // behind `h` until the next lock.
  bool Reopen(DeviceHandle h, const std::string& path, int flags);
  bool AnswerInquiryData(int fd, void* out, uint32_t outLen);
  bool AnswerCapabilities(int fd, void* out, uint32_t outLen);
  PassThroughResult PassThrough(int fd, void* in, uint32_t inLen, void* out, uint32_t outLen);
  // Submits `hdr` once and collects its reply into it.
  PassThroughResult Exchange(int fd, sg_io_hdr& hdr);

  SgSystemCalls& calls_;
  DeviceHandleTable<Descriptor> handles_;
  DeviceProblems problems_;
};

}  // namespace platform
