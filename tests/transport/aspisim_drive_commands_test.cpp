// The vendor command set, unchanged, over the simulator and the virtual drive.
#include <gmock/gmock.h>

#include <array>
#include <atomic>
#include <vector>

#include "drive/commands.h"
#include "emulator/sense_data.h"
#include "emulator/virtual_drive.h"
#include "tests/support/fakes.h"
#include "tests/transport/sim_rig.h"

namespace {

TEST(AspiSimDriveCommands, RunUnchangedAgainstTheVirtualDrive) {
  fakes::TestChannel test;
  CommandChannel& channel = *test;
  channel.waits = CommandWaits{};  // a loaded machine may well need more than the harness's short waits
  emulator::VirtualDeviceLayer layer;
  layer.SetRealSleep(false);
  auto drive = std::make_shared<emulator::VirtualDrive>();
  layer.Place(0, std::make_shared<simtest::ScriptedDevice>(0));  // C: a disk
  layer.Place(3, drive);                                         // F: the RT-5800B
  std::atomic<int32_t> hostAdapterCount{0};
  ASPISim sim(layer, channel.events, hostAdapterCount);
  channel.aspi.SendASPI32Command = &ASPISim::SendASPI32Command;
  ASSERT_EQ(hostAdapterCount.load(), 2);
  const DriveAddress rt5800{1, 0};

  std::array<uint8_t, 32> family{};
  ASSERT_EQ(ReadDriveMemory(channel, emulator::FAMILY_TAG_ADDRESS, 32, 1, 0, family.data()),
            COMMAND_COMPLETED);
  EXPECT_EQ(std::string(family.begin(), family.begin() + 4), "R580");
  EXPECT_EQ(ReadDriveMemory(channel, emulator::FAMILY_TAG_ADDRESS, 32, 1, 1, family.data()),
            COMMAND_NOT_COMPLETED);

  const std::array<uint8_t, 4> code{'W', '2', '7', '4'};
  ASSERT_EQ(FlashModeOn(channel, rt5800, code, 0), COMMAND_COMPLETED);
  EXPECT_TRUE(drive->InFlashMode(0));
  const std::vector<uint8_t> block(2 * UPLOAD_BLOCK_BYTES, 0xA5);
  EXPECT_EQ(UploadBlock(channel, rt5800, 0x5000, 2, block.data(), 0), COMMAND_COMPLETED);

  // A refusal comes back with the drive's sense key.
  const std::array<uint8_t, 4> wrong{'X', 'X', 'X', 'X'};
  EXPECT_EQ(FlashModeOff(channel, rt5800, wrong, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey.load() & 0x0F, emulator::SENSE_KEY_ILLEGAL_REQUEST);
  EXPECT_TRUE(drive->InFlashMode(0));
  EXPECT_TRUE(test.dialogs.Boxes().empty());
}

}  // namespace
