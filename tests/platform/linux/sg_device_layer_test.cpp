#include "platform/linux/sg_device_layer.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <poll.h>
#include <scsi/sg.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

namespace {

using platform::SgDeviceLayer;
using platform::SptdBlock;

// Records every call; a submitted header (write) and the size queries are
// answered by `respond`, the header's reply is then read back by its pack_id.
class FakeSg final : public platform::SgSystemCalls {
 public:
  static constexpr unsigned long WRITE = 0;  // a submission, among the ioctls
  struct Io {
    unsigned long request;
    sg_io_hdr_t hdr;
    std::vector<uint8_t> cdb;
  };
  std::vector<std::pair<std::string, int>> opens;
  std::vector<int> closes;
  std::vector<Io> ios;
  std::function<int(unsigned long, void*)> respond = [](unsigned long, void*) { return 0; };
  bool openFails = false;
  int openError = ENOENT;
  bool exclusiveBusy = false;  // another program has the node open
  int forcedPackId = 0;
  // After each submission: the first poll and the first read fail with these (0: they do not).
  int pollError = 0, readError = 0;
  int flockError = 0;  // LOCK_EX | LOCK_NB fails with it
  std::vector<int> flocks;
  std::string blockNode;     // behind /dev/sg3
  int blockOpenError = 0;    // a read-write open of it fails with this
  int cdromOptions = 0;      // the drive's, as the CDROM_ options ioctls change them

  int Open(const std::string& path, int flags) override {
    opens.emplace_back(path, flags);
    if (path == blockNode && blockOpenError != 0 && (blockOpenError != EROFS || (flags & O_ACCMODE) == O_RDWR))
      return errno = blockOpenError, -1;
    if (exclusiveBusy && (flags & O_EXCL) != 0) return errno = EBUSY, -1;
    errno = openError;
    return openFails && (flags & O_PATH) == 0 ? -1 : 40 + static_cast<int>(opens.size());
  }
  int Ioctl(int, unsigned long request, void* arg) override {
    if (request == SG_SET_FORCE_PACK_ID) return forcedPackId = *static_cast<int*>(arg), 0;
    const int value = static_cast<int>(reinterpret_cast<std::uintptr_t>(arg));
    if (request == CDROM_SET_OPTIONS) return cdromOptions |= value;
    if (request == CDROM_CLEAR_OPTIONS) return cdromOptions &= ~value;
    ios.push_back({request, {}, {}});
    return respond(request, arg);
  }
  long Write(int, const void* buffer, unsigned long count) override {
    reply_ = *static_cast<const sg_io_hdr_t*>(buffer);
    ios.push_back({WRITE, reply_, {reply_.cmdp, reply_.cmdp + reply_.cmd_len}});
    failingPoll_ = pollError;
    failingRead_ = readError;
    return respond(SG_IO, &reply_) < 0 ? -1 : static_cast<long>(count);
  }
  int PollIn(int, int) override { return Fail(failingPoll_) ? -1 : POLLIN; }
  long Read(int, void* buffer, unsigned long count) override {
    if (Fail(failingRead_)) return -1;
    auto& hdr = *static_cast<sg_io_hdr_t*>(buffer);
    if (!forcedPackId || hdr.pack_id != reply_.pack_id || hdr.dxfer_direction >= 0) return errno = EIO, -1;
    hdr = reply_;
    return static_cast<long>(count);
  }
  void Close(int fd) override { closes.push_back(fd); }
  int Flock(int, int operation) override {
    flocks.push_back(operation);
    return operation != LOCK_UN && flockError != 0 ? errno = flockError, -1 : 0;
  }
  std::string LockHolder(int) override { return "process 77 (other)"; }
  std::string BlockNodeOf(const std::string& sgPath) override { return sgPath == "/dev/sg3" ? blockNode : ""; }

 private:
  static bool Fail(int& error) {
    if (error == 0) return false;
    errno = std::exchange(error, 0);
    return true;
  }
  sg_io_hdr_t reply_{};
  int failingPoll_ = 0, failingRead_ = 0;
};

class SgLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    h = layer.CreateFile(3);
    block.sptd.CdbLength = 12;
    block.sptd.Cdb[0] = 0xCB;
    block.sptd.Cdb[11] = 0x77;
    block.sptd.SenseInfoLength = 40;
    block.sptd.SenseInfoOffset = platform::SPTD_SENSE_OFFSET;
    block.sptd.DataIn = platform::SCSI_IOCTL_DATA_OUT;
    block.sptd.DataTransferLength = sizeof data;
    block.sptd.DataBuffer = data;
    block.sptd.TimeOutValue = 108000;
  }
  bool Send() {
    return layer.DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                 sizeof block);
  }
  FakeSg sg;
  SgDeviceLayer layer{sg};
  platform::DeviceHandle h;
  SptdBlock block{};
  uint8_t data[512] = {};
};

TEST_F(SgLayer, OpensTheGenericNodeAndClosesEachDescriptorOnce) {
  ASSERT_NE(h, platform::INVALID_HANDLE_VALUE);
  ASSERT_EQ(sg.opens.size(), 1u);
  EXPECT_EQ(sg.opens[0].first, "/dev/sg3");
  EXPECT_EQ(sg.opens[0].second, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  {
    SgDeviceLayer other(sg);
    const auto second = other.CreateFile(0);
    other.CloseHandle(second);
    other.CloseHandle(second);
    EXPECT_THAT(sg.closes, ::testing::ElementsAre(42));
    other.CreateFile(1);
  }
  EXPECT_THAT(sg.closes, ::testing::ElementsAre(42, 43));  // what was left open goes with the layer
  sg.openFails = true;
  EXPECT_EQ(layer.CreateFile(4), platform::INVALID_HANDLE_VALUE);
}

TEST_F(SgLayer, APassThroughBecomesOneSubmissionOnTheCallersBuffer) {
  ASSERT_TRUE(Send());
  ASSERT_TRUE(Send());
  ASSERT_EQ(sg.ios.size(), 2u);
  EXPECT_EQ(sg.forcedPackId, 1);  // read() takes only the reply asked for
  EXPECT_NE(sg.ios[0].hdr.pack_id, sg.ios[1].hdr.pack_id);
  const sg_io_hdr_t& hdr = sg.ios[0].hdr;
  EXPECT_EQ(sg.ios[0].request, FakeSg::WRITE);
  EXPECT_EQ(hdr.interface_id, 'S');
  EXPECT_EQ(hdr.dxfer_direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(hdr.dxferp, data);
  EXPECT_EQ(hdr.dxfer_len, sizeof data);
  EXPECT_EQ(hdr.mx_sb_len, 32);
  EXPECT_EQ(hdr.timeout, platform::SG_KERNEL_TIMEOUT_MAX_S * 1000);  // not the block's 30 hours
  EXPECT_THAT(sg.ios[0].cdb, ::testing::ElementsAre(0xCB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x77));
}

struct DirectionCase {
  uint8_t dataIn;
  uint32_t length;
  int expected;
};
class SgDirection : public SgLayer, public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(SgDirection, FollowsTheBlock) {
  block.sptd.DataIn = GetParam().dataIn;
  block.sptd.DataTransferLength = GetParam().length;
  ASSERT_TRUE(Send());
  EXPECT_EQ(sg.ios.at(0).hdr.dxfer_direction, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, SgDirection,
                         ::testing::Values(DirectionCase{1, 16, SG_DXFER_FROM_DEV},
                                           DirectionCase{0, 16, SG_DXFER_TO_DEV},
                                           DirectionCase{1, 0, SG_DXFER_NONE}));

TEST_F(SgLayer, TheReplyCarriesStatusSenseAndTheBytesMoved) {
  sg.respond = [](unsigned long, void* arg) {
    auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
    hdr.status = 0x02;
    hdr.driver_status = 0x08;  // sense came back: a completed command
    for (int i = 0; i < 18; ++i) hdr.sbp[i] = static_cast<unsigned char>(0x70 + i);
    hdr.sb_len_wr = 18;
    hdr.resid = 12;
    return 0;
  };
  std::memset(block.SenseBuf, 0xEE, sizeof block.SenseBuf);
  ASSERT_TRUE(Send());
  EXPECT_EQ(block.sptd.ScsiStatus, 0x02);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(block.SenseBuf[i], i < 18 ? 0x70 + i : 0xEE) << i;
  EXPECT_EQ(block.sptd.DataTransferLength, sizeof data - 12);
}

using Result = platform::PassThroughResult;
struct FailureCase {
  const char* name;
  int returned;  // of the submission
  unsigned short host;
  unsigned short driver;
  bool passes;
  int error = 0;
  Result result = Result::Failed;  // whether a resend is safe
  int pollError = 0;               // the first wait for the reply fails so
  int readError = 0;               // the first reading of it fails so
};
class SgOutcome : public SgLayer, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SgOutcome, OnlyACommandThatReachedTheDeviceAndCameBackCounts) {
  sg.respond = [](unsigned long, void* arg) {
    auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
    hdr.host_status = GetParam().host;
    hdr.driver_status = GetParam().driver;
    errno = GetParam().error;
    return GetParam().returned;
  };
  sg.pollError = GetParam().pollError;
  sg.readError = GetParam().readError;
  EXPECT_EQ(Send(), GetParam().passes);
  EXPECT_EQ(layer.SendPassThrough(h, block), GetParam().passes ? Result::Done : GetParam().result);
  EXPECT_EQ(sg.ios.size(), 2u);  // each submitted once, however its wait went
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SgOutcome,
    ::testing::Values(FailureCase{"Good", 0, 0, 0, true},
                      FailureCase{"SenseWithSuggestion", 0, 0, 0x28, true},
                      FailureCase{"RefusedBeforeSubmission", -1, 0, 0, false, ENOMEM, Result::NotSent},
                      FailureCase{"DeviceGoneBeforeSubmission", -1, 0, 0, false, ENODEV, Result::NotSent},
                      FailureCase{"UnknownSubmissionError", -1, 0, 0, false, EIO},
                      // A stop, a tracer or a handler: waited again, never resubmitted.
                      FailureCase{"InterruptedWait", 0, 0, 0, true, 0, Result::Done, EINTR, EINTR},
                      FailureCase{"AnotherReplyWokeTheWait", 0, 0, 0, true, 0, Result::Done, 0, EAGAIN},
                      // The reply is still collected, or it would wake every later wait.
                      FailureCase{"WaitFailedAfterSubmission", 0, 0, 0, true, 0, Result::Done, ENOMEM},
                      FailureCase{"DeviceGoneAfterSubmission", 0, 0, 0, false, 0, Result::Failed, 0, ENODEV},
                      FailureCase{"ReplyNotCopiedBack", 0, 0, 0, false, 0, Result::Failed, 0, EFAULT},
                      FailureCase{"HostError", 0, 0x07, 0, false},
                      FailureCase{"DriverTimeout", 0, 0, 0x06, false},
                      FailureCase{"DriverError", 0, 0, 0x24, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct Spoiled {
  const char* name;
  std::function<void(SptdBlock&)> spoil;
};
class SgRefuses : public SgLayer, public ::testing::WithParamInterface<Spoiled> {};

TEST_P(SgRefuses, BlocksItCannotCarryWithoutASubmission) {
  GetParam().spoil(block);
  EXPECT_FALSE(Send());
  EXPECT_EQ(layer.SendPassThrough(h, block), Result::NotSent);
  EXPECT_TRUE(sg.ios.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, SgRefuses,
    ::testing::Values(Spoiled{"NoCdb", [](auto& b) { b.sptd.CdbLength = 0; }},
                      Spoiled{"LongCdb", [](auto& b) { b.sptd.CdbLength = 17; }},
                      Spoiled{"SenseOutside", [](auto& b) { b.sptd.SenseInfoOffset = sizeof b - 8; }},
                      Spoiled{"UnspecifiedDirection", [](auto& b) { b.sptd.DataIn = 2; }},
                      Spoiled{"NoBuffer", [](auto& b) { b.sptd.DataBuffer = nullptr; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SgLayer, InquiryDataComesFromASubmittedInquiry) {
  sg.respond = [](unsigned long, void* arg) {
    auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
    static_cast<uint8_t*>(hdr.dxferp)[0] = 0x05;
    return 0;
  };
  uint8_t out[2048] = {};
  ASSERT_TRUE(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, sizeof out));
  EXPECT_THAT(sg.ios.at(0).cdb, ::testing::ElementsAre(0x12, 0, 0, 0, 36, 0));
  EXPECT_EQ(sg.ios[0].hdr.dxfer_direction, SG_DXFER_FROM_DEV);
  const uint32_t record = out[8] | out[9] << 8;
  EXPECT_EQ(out[record + 12], 0x05);
  sg.respond = [](unsigned long, void* arg) { return static_cast<sg_io_hdr_t*>(arg)->status = 0x02, 0; };
  EXPECT_FALSE(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, sizeof out));
}

struct SizeCase {
  const char* name;
  int sectGet;   // -1: the ioctl fails
  int reserved;  // -1: the ioctl fails
  bool answers;
  uint32_t max;
};
class SgCapabilities : public SgLayer, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SgCapabilities, ReportTheQueueLimitInBytes) {
  sg.respond = [](unsigned long request, void* arg) {
    const int value = request == BLKSECTGET ? GetParam().sectGet : GetParam().reserved;
    if (value < 0) return -1;
    *static_cast<int*>(arg) = value;
    return 0;
  };
  platform::IO_SCSI_CAPABILITIES caps{};
  caps.AlignmentMask = 0xFF;
  EXPECT_EQ(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0, &caps, sizeof caps),
            GetParam().answers);
  if (!GetParam().answers) return;
  EXPECT_EQ(caps.MaximumTransferLength, GetParam().max);
  EXPECT_EQ(caps.AlignmentMask, 0u);
}

INSTANTIATE_TEST_SUITE_P(Queries, SgCapabilities,
                         ::testing::Values(SizeCase{"SectGetBytes", 131072, 32768, true, 131072},
                                           SizeCase{"ReservedFallback", -1, 32768, true, 32768},
                                           SizeCase{"Neither", -1, -1, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SgLayer, ADescriptorClosedDuringACallStaysOpenUntilTheCallReturns) {
  std::size_t closesDuringCall = 99;
  sg.respond = [&](unsigned long, void*) {
    layer.CloseHandle(h);
    closesDuringCall = sg.closes.size();
    return 0;
  };
  EXPECT_TRUE(Send());
  EXPECT_EQ(closesDuringCall, 0u);
  EXPECT_THAT(sg.closes, ::testing::ElementsAre(41));
  EXPECT_FALSE(Send());
}

// A call given up on during a run may keep the node's exclusive descriptor
// open after the run; the next run of the same process is refused only until
// that call has ended.
TEST_F(SgLayer, ARunAfterACallGivenUpOnStartsOnceThatCallHasEnded) {
  std::string refusal;
  auto lock = layer.LockExclusive(h, refusal);
  ASSERT_TRUE(lock) << refusal;
  sg.openFails = true;
  sg.openError = EBUSY;
  lock.reset();
  EXPECT_FALSE(layer.LockExclusive(h, refusal));
  EXPECT_THAT(refusal, ::testing::HasSubstr("/dev/sg3 is open in"));
  sg.openFails = false;
  EXPECT_TRUE(layer.LockExclusive(h, refusal)) << refusal;
}

struct HeldCase {
  const char* name;
  bool openBusy;  // else the open works and the flock is refused
};
class SgHeldAtStartUp : public SgLayer, public ::testing::WithParamInterface<HeldCase> {};

// Before anything is sent, so another program's run never meets an INQUIRY.
TEST_P(SgHeldAtStartUp, IsPassedOverNamingTheHolder) {
  sg.openFails = GetParam().openBusy;
  sg.openError = EBUSY;
  sg.flockError = EWOULDBLOCK;
  uint8_t out[2048] = {};
  EXPECT_EQ(layer.CreateFile(4), platform::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(layer.DeviceIoControl(5, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, sizeof out));
  EXPECT_TRUE(sg.ios.empty());
  EXPECT_THAT(layer.OpenProblems(),
              ::testing::ElementsAre("/dev/sg4 is in use by process 77 (other) and was passed over"));
  EXPECT_EQ(sg.closes.size(), 1u);  // what was opened to ask is closed again
}

INSTANTIATE_TEST_SUITE_P(Holders, SgHeldAtStartUp,
                         ::testing::Values(HeldCase{"ItsExclusiveOpen", true}, HeldCase{"ItsLock", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SgLayer, ARunHoldsTheNodeOpenExclusivelyAndLocked) {
  std::string refusal;
  {
    const auto lock = layer.LockExclusive(h, refusal);
    ASSERT_TRUE(lock) << refusal;
    // The plain descriptor went first: the driver admits O_EXCL only as the node's one opener.
    ASSERT_EQ(sg.opens.size(), 2u);
    EXPECT_EQ(sg.opens[1].second, platform::SG_RUN_OPEN_FLAGS);
    EXPECT_THAT(sg.closes, ::testing::ElementsAre(41));
    // Tried at start-up and let go; then the run's lock, moved to the exclusive descriptor.
    EXPECT_THAT(sg.flocks, ::testing::ElementsAre(LOCK_EX | LOCK_NB, LOCK_UN, LOCK_EX | LOCK_NB, LOCK_UN,
                                                  LOCK_EX | LOCK_NB));
    ASSERT_TRUE(Send());
  }
  ASSERT_EQ(sg.opens.size(), 3u);  // plainly again once the run is over
  EXPECT_EQ(sg.opens[2].second, platform::SG_OPEN_FLAGS);
  EXPECT_THAT(sg.closes, ::testing::ElementsAre(41, 42));
  sg.exclusiveBusy = true;
  EXPECT_FALSE(layer.LockExclusive(h, refusal));
  EXPECT_EQ(refusal, "/dev/sg3 is open in process 77 (other)");
  EXPECT_TRUE(Send());  // the drive stays reachable for the window, plainly open
  sg.flockError = EWOULDBLOCK;
  EXPECT_FALSE(layer.LockExclusive(h, refusal));
  EXPECT_EQ(refusal, "/dev/sg3 is in use by process 77 (other)");
}

struct BlockNodeCase {
  const char* name;
  int options;         // the drive's before the run
  int openError;       // of the read-write open of its block node
  int heldWith;        // the open flags that held it, or 0
  int optionsInRun;
};
class SgBlockNode : public SgLayer, public ::testing::WithParamInterface<BlockNodeCase> {};

// The kernel's polls and another opener's tray close or door lock would
// reach a drive in flash mode. A call given up on keeps the hold, as it
// keeps the exclusive descriptor: the drive may still be working on it.
TEST_P(SgBlockNode, IsHeldQuietFromTheRunsStartUntilItsLastCallHasReturned) {
  const BlockNodeCase& c = GetParam();
  sg.blockNode = "/dev/sr0";
  sg.blockOpenError = c.openError;
  sg.cdromOptions = c.options;
  std::string refusal;
  auto lock = layer.LockExclusive(h, refusal);
  ASSERT_TRUE(lock) << refusal;
  const auto held = std::find_if(sg.opens.begin(), sg.opens.end(),
                                 [&](const auto& open) { return open.first == "/dev/sr0" && open.second == c.heldWith; });
  EXPECT_EQ(held != sg.opens.end(), c.heldWith != 0);
  const int heldFd = 41 + static_cast<int>(held - sg.opens.begin());
  int optionsInGivenUpCall = -1;
  bool closedInGivenUpCall = true;
  sg.respond = [&](unsigned long, void*) {
    lock.reset();
    optionsInGivenUpCall = sg.cdromOptions;
    closedInGivenUpCall = std::count(sg.closes.begin(), sg.closes.end(), heldFd) != 0;
    return 0;
  };
  ASSERT_TRUE(Send());
  EXPECT_EQ(optionsInGivenUpCall, c.optionsInRun);
  EXPECT_FALSE(closedInGivenUpCall);
  EXPECT_EQ(sg.cdromOptions, c.options);
  EXPECT_TRUE(c.heldWith == 0 || sg.closes.back() == heldFd);  // after the exclusive sg descriptor
}

constexpr int kHoldFlags = O_EXCL | O_NONBLOCK | O_CLOEXEC;
INSTANTIATE_TEST_SUITE_P(
    Drives, SgBlockNode,
    ::testing::Values(
        BlockNodeCase{"TrayAndLockOn", CDO_AUTO_CLOSE | CDO_LOCK | CDO_USE_FFLAGS, 0, O_RDWR | kHoldFlags,
                      CDO_USE_FFLAGS},
        BlockNodeCase{"LockAlreadyOff", CDO_AUTO_CLOSE | CDO_CHECK_TYPE, 0, O_RDWR | kHoldFlags, CDO_CHECK_TYPE},
        BlockNodeCase{"ReadOnlyNode", CDO_LOCK, EROFS, O_RDONLY | kHoldFlags, 0},
        BlockNodeCase{"MountedElsewhere", CDO_AUTO_CLOSE | CDO_LOCK, EBUSY, 0, CDO_AUTO_CLOSE | CDO_LOCK}),
    [](const auto& info) { return std::string(info.param.name); });

class SgTimeout : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(SgTimeout, SecondsBecomeMillisecondsAtMostTheKernelBound) {
  EXPECT_EQ(platform::SgTimeoutMs(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, SgTimeout,
                         ::testing::Values(std::pair{0u, 0u}, std::pair{7u, 7000u}, std::pair{120u, 120000u},
                                           std::pair{121u, 120000u}, std::pair{108000u, 120000u},
                                           std::pair{0xFFFFFFFFu, 120000u}));

}  // namespace
