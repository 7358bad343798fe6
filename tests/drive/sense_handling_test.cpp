#include <gtest/gtest.h>

#include <tuple>

#include "drive/commands.h"
#include "tests/drive/drive_rig.h"

namespace {

using namespace drive_tests;
using emulator::FaultRule;

bool ReservedKey(uint8_t byte2) {
  const uint8_t key = byte2 & 0x0F;
  return key == 8 || key == 9 || key == 10 || key == 12 || key == 13 || key == 15;
}

// Every sense byte the drive can send, in every command: the whole byte is
// kept and the "Reserved" box appears exactly for its key.
class SenseMatrixTest : public ::testing::TestWithParam<std::tuple<Command, uint8_t>> {
 protected:
  DriveRig rig;
};

TEST_P(SenseMatrixTest, KeepsTheWholeByteAndShowsReservedOnlyForItsKeys) {
  const auto [command, byte2] = GetParam();
  rig.channel().lastSenseKey = static_cast<uint8_t>(~byte2);
  rig.injector.AddRule(FaultRule::Fail(KindOf(command), 1, byte2));

  EXPECT_EQ(Call(rig.channel(), command), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(rig.channel().lastSenseKey, byte2);
  const auto boxes = rig.test.dialogs.Boxes();
  if (ReservedKey(byte2)) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Reserved");
    EXPECT_FALSE(boxes[0].fatal);
  } else {
    EXPECT_TRUE(boxes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(VendorCommands, SenseMatrixTest,
                         ::testing::Combine(::testing::ValuesIn(ALL_COMMANDS),
                                            ::testing::Values(0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                                              0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
                                                              0x26, 0x86, 0xE8, 0x5B, 0xFF)),
                         [](const auto& info) {
                           char byte[8];
                           std::snprintf(byte, sizeof byte, "%02X", std::get<1>(info.param));
                           return CommandName(std::get<0>(info.param)) + "_" + byte;
                         });

TEST(SenseHandlingTest, ASuccessAfterAFailureLeavesTheLastSenseKeyOfTheFailure) {
  DriveRig rig;
  rig.injector.AddRule(FaultRule::Fail(emulator::CommandKind::FlashOn, 1, 0x06));
  EXPECT_EQ(FlashModeOn(rig.channel(), RIG_DRIVE, W274, 1), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(FlashModeOn(rig.channel(), RIG_DRIVE, W274, 1), COMMAND_COMPLETED);
  EXPECT_EQ(rig.channel().lastSenseKey, 0x06);
}

}  // namespace
