#include <gmock/gmock.h>

#include <cstring>
#include <string>

#include "tests/transport/sim_rig.h"

namespace {

using simtest::SimRig;

class AspiSimCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.Place(0, {.maximumTransferLength = 0x20000, .alignmentMask = 0x10003}, 5);
    rig.Place(1, {.maximumTransferLength = 4096, .alignmentMask = 1}, 0);
    rig.Create();
  }
  SimRig rig;
};

struct InquiryCase {
  uint8_t haId;
  const char* identifier;
  uint32_t reportedMax;
  uint16_t alignment;
};
class AspiSimInquiry : public AspiSimCommands, public ::testing::WithParamInterface<InquiryCase> {};

TEST_P(AspiSimInquiry, DescribesTheAdapterAndCapsItsTransferLength) {
  const InquiryCase& c = GetParam();
  SRB_HAInquiry srb;
  std::memset(&srb, 0xFF, sizeof srb);
  srb.SRB_Cmd = SC_HA_INQUIRY;
  srb.SRB_HaId = c.haId;
  ASSERT_EQ(ASPISim::SendASPI32Command(&srb), 1u);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_EQ(srb.HA_Count, 2);
  EXPECT_EQ(srb.HA_SCSI_ID, 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(srb.HA_ManagerId), 16), "ASPISim for SPTI");
  std::string identifier(16, '\0');
  std::memcpy(identifier.data(), c.identifier, std::strlen(c.identifier));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(srb.HA_Identifier), 16), identifier);
  const uint8_t max[4] = {uint8_t(c.reportedMax), uint8_t(c.reportedMax >> 8), uint8_t(c.reportedMax >> 16),
                          uint8_t(c.reportedMax >> 24)};
  EXPECT_THAT(std::vector<uint8_t>(srb.HA_Unique, srb.HA_Unique + 16),
              ::testing::ElementsAre(uint8_t(c.alignment), uint8_t(c.alignment >> 8), 0, 1, max[0], max[1],
                                     max[2], max[3], 0, 0, 0, 0, 0, 0, 0, 0));
  // The cap is kept in the adapter record itself.
  EXPECT_EQ(rig.sim->Adapter(c.haId)->capabilities.MaximumTransferLength, c.reportedMax);
}

INSTANTIATE_TEST_SUITE_P(Adapters, AspiSimInquiry,
                         ::testing::Values(InquiryCase{0, "ASPISim HA #0", 65536, 0x0003},
                                           InquiryCase{1, "ASPISim HA #1", 4096, 0x0001}));

TEST_F(AspiSimCommands, DeviceTypeComesFromDiscoveryAndOnlyTargetZeroLunZeroExist) {
  SRB_GDEVBlock srb{SC_GET_DEV_TYPE, 0xAA, 0, 0, 0, 0, 0, 0xAA, 0};
  EXPECT_EQ(ASPISim::SendASPI32Command(&srb), 1u);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_EQ(srb.SRB_DeviceType, 5);
  srb.SRB_HaId = 1;
  ASPISim::SendASPI32Command(&srb);
  EXPECT_EQ(srb.SRB_DeviceType, 0);
  for (auto [target, lun] : {std::pair{1, 0}, std::pair{0, 1}}) {
    SRB_GDEVBlock other{SC_GET_DEV_TYPE, 0, 0, 0, 0, uint8_t(target), uint8_t(lun), 0xAA, 0};
    EXPECT_EQ(ASPISim::SendASPI32Command(&other), SS_NO_DEVICE);
    EXPECT_EQ(other.SRB_Status, SS_NO_DEVICE);
    EXPECT_EQ(other.SRB_DeviceType, 0xAA);
  }
}

TEST_F(AspiSimCommands, ResetSendsNothingAndClearsTheStatuses) {
  SRB_BusDeviceReset srb{};
  srb.SRB_Cmd = SC_RESET_DEV;
  srb.SRB_HaStat = 0x55;
  srb.SRB_TargStat = 0x55;
  EXPECT_EQ(ASPISim::SendASPI32Command(&srb), 0u);
  EXPECT_EQ(srb.SRB_Status, SS_COMP);
  EXPECT_EQ(srb.SRB_HaStat, 0);
  EXPECT_EQ(srb.SRB_TargStat, 0);
  EXPECT_EQ(rig.layer.PassThroughCalls(0), 0u);
}

class AspiSimRescan : public AspiSimCommands, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(AspiSimRescan, LeavesTheStatusAsGivenAndTheAdaptersAsFound) {
  const std::size_t opened = rig.layer.OpenAttempts().size();
  SRB_Header srb{SC_RESCAN_SCSI_BUS, GetParam(), 1, 0, 0};
  EXPECT_EQ(ASPISim::SendASPI32Command(&srb), 1u);
  EXPECT_EQ(srb.SRB_Status, GetParam());
  EXPECT_EQ(rig.layer.OpenAttempts().size(), opened);
  EXPECT_EQ(rig.sim->AdapterCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Statuses, AspiSimRescan, ::testing::Values(0x00, 0x01, 0x55, 0xE0));

class AspiSimInvalidCode : public AspiSimCommands, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(AspiSimInvalidCode, IsRefused) {
  SRB_Header srb{GetParam(), 0x55, 0, 0, 0};
  EXPECT_EQ(ASPISim::SendASPI32Command(&srb), 1u);
  EXPECT_EQ(srb.SRB_Status, SS_INVALID_SRB);
}

INSTANTIATE_TEST_SUITE_P(Codes, AspiSimInvalidCode, ::testing::Values(0x05, 0x06, 0x09, 0x7F, 0xFF));

class AspiSimUnknownAdapter : public AspiSimCommands, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(AspiSimUnknownAdapter, IsRefusedForEveryCommand) {
  SRB_ExecSCSICmd srb{};  // large enough for every layout
  srb.SRB_Cmd = GetParam();
  srb.SRB_HaId = 2;
  EXPECT_EQ(ASPISim::SendASPI32Command(&srb), SS_INVALID_HA);
  EXPECT_EQ(srb.SRB_Status, SS_INVALID_HA);
}

INSTANTIATE_TEST_SUITE_P(Codes, AspiSimUnknownAdapter,
                         ::testing::Values(SC_HA_INQUIRY, SC_GET_DEV_TYPE, SC_EXEC_SCSI_CMD, SC_ABORT_SRB,
                                           SC_RESET_DEV, SC_RESCAN_SCSI_BUS, SC_GETSET_TIMEOUTS));

// One get or set of the time-out: flags, value in, value out (gets only).
struct TimeoutStep {
  uint8_t flags;
  uint32_t value;
  uint32_t read;
};
class AspiSimTimeouts : public AspiSimCommands,
                        public ::testing::WithParamInterface<std::vector<TimeoutStep>> {};

TEST_P(AspiSimTimeouts, AreKeptInSecondsAndExchangedInHalfSeconds) {
  for (const TimeoutStep& step : GetParam()) {
    SRB_GetSetTimeouts srb{SC_GETSET_TIMEOUTS, 0, 0, step.flags, 0, 0, 0, 0, step.value};
    EXPECT_EQ(ASPISim::SendASPI32Command(&srb), 1u);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(srb.SRB_Timeout, step.read);
  }
}

constexpr uint8_t kGet = 0;
INSTANTIATE_TEST_SUITE_P(Sequences, AspiSimTimeouts,
                         ::testing::Values(std::vector<TimeoutStep>{{kGet, 0, 216000}},
                                           std::vector<TimeoutStep>{{SRB_DIR_OUT, 7, 7}, {kGet, 0, 6}},
                                           std::vector<TimeoutStep>{{SRB_DIR_OUT | SRB_DIR_IN, 7, 216000},
                                                                    {kGet, 1, 216000}},
                                           std::vector<TimeoutStep>{{SRB_DIR_OUT, 0xFFFFFFFF, 0xFFFFFFFF},
                                                                    {SRB_DIR_IN, 0, 0xFFFFFFFE}}));

TEST_F(AspiSimCommands, AQueuedRequestTakesTheTimeOutCurrentWhenQueued) {
  SRB_GetSetTimeouts set{SC_GETSET_TIMEOUTS, 0, 0, SRB_DIR_OUT, 0, 0, 0, 0, 7};
  ASPISim::SendASPI32Command(&set);
  simtest::ScopedEvent done;
  SRB_ExecSCSICmd srb{};
  simtest::FillExecute(srb, 0, SRB_EVENT_NOTIFY, done.h, 0x00);
  ASSERT_EQ(ASPISim::SendASPI32Command(&srb), SS_PENDING);
  ASSERT_TRUE(done.Wait(2000));
  ASSERT_EQ(rig.recorder.Sent().size(), 1u);
  EXPECT_EQ(rig.recorder.Sent()[0].sptd.TimeOutValue, 3u);
}

TEST_F(AspiSimCommands, AbortOfABlockNotQueuedIsRefused) {
  SRB_ExecSCSICmd never{};
  SRB_Abort abort{SC_ABORT_SRB, 0, 0, 0, 0, &never};
  EXPECT_EQ(ASPISim::SendASPI32Command(&abort), SS_INVALID_SRB);
  EXPECT_EQ(abort.SRB_Status, SS_INVALID_SRB);
  EXPECT_EQ(rig.starter.Calls(), 1);  // the worker was left alone
}

}  // namespace
