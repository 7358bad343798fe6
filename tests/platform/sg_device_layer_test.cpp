#include "platform/sg_device_layer.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <linux/fs.h>
#include <scsi/sg.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>

namespace {

using platform::SgDeviceLayer;
using platform::SptdBlock;

// Records every call; SG_IO and the size queries are answered by `respond`.
class FakeSg final : public platform::SgSystemCalls {
 public:
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

  int Open(const std::string& path, int flags) override {
    opens.emplace_back(path, flags);
    return openFails ? -1 : 40 + static_cast<int>(opens.size());
  }
  int Ioctl(int, unsigned long request, void* arg) override {
    Io io{request, {}, {}};
    if (request == SG_IO) {
      io.hdr = *static_cast<sg_io_hdr_t*>(arg);
      io.cdb.assign(io.hdr.cmdp, io.hdr.cmdp + io.hdr.cmd_len);
    }
    ios.push_back(io);
    return respond(request, arg);
  }
  void Close(int fd) override { closes.push_back(fd); }
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

TEST_F(SgLayer, APassThroughBecomesOneSgIoOnTheCallersBuffer) {
  ASSERT_TRUE(Send());
  ASSERT_EQ(sg.ios.size(), 1u);
  const sg_io_hdr_t& hdr = sg.ios[0].hdr;
  EXPECT_EQ(sg.ios[0].request, static_cast<unsigned long>(SG_IO));
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
  int returned;
  unsigned short host;
  unsigned short driver;
  bool passes;
  int error = 0;
  Result result = Result::Failed;  // whether a resend is safe
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
  EXPECT_EQ(Send(), GetParam().passes);
  EXPECT_EQ(layer.SendPassThrough(h, block), GetParam().passes ? Result::Done : GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Replies, SgOutcome,
                         ::testing::Values(FailureCase{"Good", 0, 0, 0, true},
                                           FailureCase{"SenseWithSuggestion", 0, 0, 0x28, true},
                                           FailureCase{"RefusedBeforeSubmission", -1, 0, 0, false, ENOMEM,
                                                       Result::NotSent},
                                           FailureCase{"InterruptedAfterSubmission", -1, 0, 0, false, EINTR},
                                           FailureCase{"ReplyNotCopiedBack", -1, 0, 0, false, EFAULT},
                                           FailureCase{"HostError", 0, 0x07, 0, false},
                                           FailureCase{"DriverTimeout", 0, 0, 0x06, false},
                                           FailureCase{"DriverError", 0, 0, 0x24, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Spoiled {
  const char* name;
  std::function<void(SptdBlock&)> spoil;
};
class SgRefuses : public SgLayer, public ::testing::WithParamInterface<Spoiled> {};

TEST_P(SgRefuses, BlocksItCannotCarryWithoutAnIoctl) {
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

TEST_F(SgLayer, InquiryDataComesFromAnSgIoInquiry) {
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

class SgTimeout : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(SgTimeout, SecondsBecomeMillisecondsAtMostTheKernelBound) {
  EXPECT_EQ(platform::SgTimeoutMs(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, SgTimeout,
                         ::testing::Values(std::pair{0u, 0u}, std::pair{7u, 7000u}, std::pair{120u, 120000u},
                                           std::pair{121u, 120000u}, std::pair{108000u, 120000u},
                                           std::pair{0xFFFFFFFFu, 120000u}));

}  // namespace
