#include "emulator/virtual_device_layer.h"

#include <gmock/gmock.h>

#include <cstring>
#include <functional>

#include "tests/support/test_thread.h"
#include "tests/transport/sim_rig.h"

namespace {

using emulator::VirtualDeviceLayer;
using platform::SptdBlock;

uint32_t Le32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }

class VirtualLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    device = std::make_shared<simtest::ScriptedDevice>(5);
    layer.Place(0, device, {.maximumTransferLength = 4096});
    h = layer.CreateFile(0);
    block.sptd.CdbLength = 6;
    block.sptd.Cdb[0] = 0xCB;
    block.sptd.SenseInfoLength = 32;
    block.sptd.SenseInfoOffset = platform::SPTD_SENSE_OFFSET;
  }
  bool Send() {
    return layer.DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                 sizeof block);
  }
  VirtualDeviceLayer layer;
  std::shared_ptr<simtest::ScriptedDevice> device;
  platform::DeviceHandle h;
  SptdBlock block{};
  uint8_t data[8192] = {};
};

TEST_F(VirtualLayer, InquiryDataLeadsToTheDevicesOwnInquiry) {
  uint8_t out[2048];
  std::memset(out, 0xFF, sizeof out);
  ASSERT_TRUE(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, sizeof out));
  const uint32_t record = Le32(out + platform::BUS_INFO_FIRST_INQUIRY_OFFSET);
  ASSERT_LT(record, 2000u);
  EXPECT_EQ(Le32(out + record + 4), VirtualDeviceLayer::INQUIRY_LENGTH);
  EXPECT_EQ(out[record + 12], 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out + record + 20), 6), "ZORVEX");
  EXPECT_FALSE(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, 40));
}

TEST_F(VirtualLayer, AZeroLengthTransferCarriesNoData) {
  block.sptd.DataIn = platform::SCSI_IOCTL_DATA_IN;
  ASSERT_TRUE(Send());
  EXPECT_EQ(device->Commands().at(0).direction, emulator::DataDirection::None);
}

TEST_F(VirtualLayer, RecordsTheFirstControlsOnlyButCountsEveryCall) {
  const std::size_t calls = VirtualDeviceLayer::MAX_RECORDED + 10;
  for (std::size_t i = 0; i < calls; ++i) ASSERT_TRUE(Send());
  const std::vector<uint32_t> controls = layer.Controls(0);
  ASSERT_EQ(controls.size(), VirtualDeviceLayer::MAX_RECORDED);
  EXPECT_EQ(controls.back(), platform::IOCTL_SCSI_PASS_THROUGH_DIRECT);
  EXPECT_EQ(layer.PassThroughCalls(0), calls);
}

struct Spoiled {
  const char* name;
  std::function<void(SptdBlock&, uint8_t*)> spoil;
};
class VirtualLayerRefuses : public VirtualLayer, public ::testing::WithParamInterface<Spoiled> {};

TEST_P(VirtualLayerRefuses, BlocksItCannotCarryWithoutReachingTheDevice) {
  block.sptd.DataBuffer = data;
  block.sptd.DataTransferLength = 16;
  GetParam().spoil(block, data);
  EXPECT_FALSE(Send());
  EXPECT_TRUE(device->Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, VirtualLayerRefuses,
    ::testing::Values(Spoiled{"LongCdb", [](auto& b, auto) { b.sptd.CdbLength = 17; }},
                      Spoiled{"AboveMaxTransfer", [](auto& b, auto) { b.sptd.DataTransferLength = 4097; }},
                      Spoiled{"SenseOutside", [](auto& b, auto) { b.sptd.SenseInfoOffset = sizeof b - 8; }},
                      Spoiled{"UnspecifiedDirection", [](auto& b, auto) { b.sptd.DataIn = 2; }},
                      Spoiled{"NoBuffer", [](auto& b, auto) { b.sptd.DataBuffer = nullptr; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VirtualLayer, HandlesAreNeverReusedAndACloseDuringACallWaitsForIt) {
  layer.HoldPassThrough(0);
  bool passed = false;
  zx_test::TestThread caller([&] { passed = Send(); });
  ASSERT_TRUE(layer.WaitForHeldCall(0, 3000));
  layer.CloseHandle(h);
  layer.ReleasePassThrough(0);
  caller.join();
  EXPECT_TRUE(passed);
  EXPECT_EQ(device->Commands().size(), 1u);
  EXPECT_FALSE(Send());  // closed now
  layer.CloseHandle(h);
  EXPECT_EQ(layer.BadCloses(), 1u);
  EXPECT_NE(layer.CreateFile(0), h);
}

TEST(VirtualLayerLifetime, GoingAwayReleasesAHeldCallWhichThenFails) {
  auto layer = std::make_unique<VirtualDeviceLayer>();
  auto device = std::make_shared<simtest::ScriptedDevice>();
  layer->Place(0, device);
  const platform::DeviceHandle h = layer->CreateFile(0);
  layer->HoldPassThrough(0);
  SptdBlock block{};
  block.sptd.CdbLength = 6;
  VirtualDeviceLayer* raw = layer.get();
  bool passed = true;
  zx_test::TestThread caller([&] {
    passed = raw->DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                  sizeof block);
  });
  ASSERT_TRUE(layer->WaitForHeldCall(0, 3000));
  layer.reset();
  caller.join();
  EXPECT_FALSE(passed);
  EXPECT_TRUE(device->Commands().empty());
}

}  // namespace
