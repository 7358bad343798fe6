// The stand-in sg driver's model of the kernel side: nodes opened through
// it, commands carried to one virtual RT-5800B, and the two ways the sg
// driver takes a command:
//   SG_IO        submits and waits. As the kernel's own, the wait is
//                interruptible: when the process is stopped (SIGSTOP,
//                SIGTSTP, a tracer) or a handler runs while a command waits,
//                the kernel gives up the wait, leaves the command orphaned at
//                the device and, on continue, restarts the ioctl, which
//                submits the same command a second time. The stand-in does
//                the same, so a program that carries commands with SG_IO
//                shows the double send in the command log.
//   write/read   write() submits an sg_io_hdr and returns at once; poll()
//                says when a reply waits; read() collects it (by pack_id once
//                SG_SET_FORCE_PACK_ID is set and the header given to read()
//                is a v3 one, else the first reply). An interrupted wait here
//                is the caller's own and submits nothing.
// Opening follows the driver's O_EXCL rule across processes: an O_EXCL open
// fails with EBUSY while any other descriptor is open on the node (this
// process's own too), and any open fails so while an O_EXCL one is.
// Threads: any; each command is answered by a thread of its own.
#pragma once

#include <scsi/sg.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "emulator/command_kind.h"
#include "emulator/drive_row.h"

namespace sg_standin {

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

struct Node;
struct Request;

class Driver {
 public:
  explicit Driver(Config config);

  // -2: not a node of ours; else the open's result (errno set on -1).
  int Open(const char* path, int flags);
  bool Owns(int fd);
  void Forget(int fd);
  int Ioctl(int fd, unsigned long request, void* arg);
  long Write(int fd, const void* buffer, unsigned long count);
  long Read(int fd, void* buffer, unsigned long count);
  // The descriptor poll() should watch instead of `fd`: readable while a
  // reply waits to be read. -1 when `fd` is not ours. `keep` holds it open.
  int ReadinessFd(int fd, std::shared_ptr<Node>& keep);
  void Conclude() { row_->Conclude(); }

 private:
  std::shared_ptr<Node> Find(int fd);
  std::shared_ptr<Request> Submit(const std::shared_ptr<Node>& node, const sg_io_hdr_t& hdr, bool async);
  void Answer(const std::shared_ptr<Request>& request, bool hang, bool lose);
  int SgIo(const std::shared_ptr<Node>& node, sg_io_hdr_t& hdr);

  const Config config_;
  std::unique_ptr<emulator::DriveRow> row_;
  std::mutex drive_;  // one command at a time at the drive
  std::mutex lock_;   // the nodes, their replies and the counts
  std::map<int, std::shared_ptr<Node>> nodes_;
  std::map<emulator::CommandKind, uint32_t> seen_;
};

}  // namespace sg_standin
