#include "drive/commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/drive/drive_rig.h"

namespace {

using namespace drive_tests;
using emulator::CommandKind;
using emulator::DataDirection;
using emulator::FaultAction;
using emulator::FaultRule;
using Channel = CommandChannel;

uint8_t callerData[2 * UPLOAD_BLOCK_BYTES];
uint8_t destination[READ_REPLY_BYTES];

struct CdbCase {
  const char* name;
  std::function<uint8_t(Channel&)> call;
  std::vector<uint8_t> cdb;
  DataDirection direction;
  uint32_t bufLen;
  uint8_t flags;
};

std::ostream& operator<<(std::ostream& out, const CdbCase& c) { return out << c.name; }

class CdbTest : public ::testing::TestWithParam<CdbCase> {
 protected:
  DriveRig rig;
};

TEST_P(CdbTest, SendsExactlyThisRequestToTheDriveItWasGiven) {
  GetParam().call(rig.channel());

  const auto commands = rig.recorder.Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].cdb, GetParam().cdb);
  EXPECT_EQ(commands[0].direction, GetParam().direction);
  EXPECT_EQ(commands[0].dataLen, GetParam().bufLen);

  const auto blocks = rig.aspi.Submitted();
  ASSERT_EQ(blocks.size(), 1u);
  const SRB_ExecSCSICmd& block = blocks[0];
  EXPECT_EQ(block.SRB_Cmd, SC_EXEC_SCSI_CMD);
  EXPECT_EQ(block.SRB_HaId, RIG_DRIVE.haId);
  EXPECT_EQ(block.SRB_Target, RIG_DRIVE.target);
  EXPECT_EQ(block.SRB_Lun, 0);
  EXPECT_EQ(block.SRB_Flags, GetParam().flags);
  EXPECT_EQ(block.SRB_BufLen, GetParam().bufLen);
  EXPECT_EQ(block.SRB_SenseLen, 16);
  EXPECT_EQ(block.SRB_CDBLen, 12);
  EXPECT_NE(block.SRB_PostProc, nullptr);
  // Uploads leave from the caller's buffer; reads land in the command's own.
  if (GetParam().direction == DataDirection::Out) {
    EXPECT_EQ(block.SRB_BufPointer, callerData);
  }
  if (GetParam().direction == DataDirection::In) {
    EXPECT_NE(block.SRB_BufPointer, destination);
  }
}

constexpr uint8_t CODE[4] = {'W', '2', '7', '4'};

INSTANTIATE_TEST_SUITE_P(
    VendorCommands, CdbTest,
    ::testing::Values(
        CdbCase{"UploadFirstBlock", [](Channel& p) { return UploadBlock(p, RIG_DRIVE, 0x5000, 1, callerData, 0); },
                {0xCB, 0x01, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, DataDirection::Out, 4096,
                0x50},
        CdbCase{"UploadPartTwo", [](Channel& p) { return UploadBlock(p, RIG_DRIVE, 0x240000, 2, callerData, 1); },
                {0xCB, 0x11, 0x00, 0x24, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}, DataDirection::Out, 8192,
                0x50},
        CdbCase{"UploadAddressAbove24Bits",
                [](Channel& p) { return UploadBlock(p, RIG_DRIVE, 0xAB245000, 1, callerData, 1); },
                {0xCB, 0x11, 0x00, 0x24, 0x50, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, DataDirection::Out, 4096,
                0x50},
        CdbCase{"EraseFirstSector", [](Channel& p) { return EraseSectors(p, RIG_DRIVE, 0x2000, 0); },
                {0xCB, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00}, DataDirection::None, 0,
                0x40},
        CdbCase{"EraseMaskAbove16Bits", [](Channel& p) { return EraseSectors(p, RIG_DRIVE, 0x12345, 0); },
                {0xCB, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x23, 0x45, 0x00, 0x00, 0x00}, DataDirection::None, 0,
                0x40},
        CdbCase{"ProgramUnitOne", [](Channel& p) { return ProgramSectors(p, RIG_DRIVE, 0x100, 1); },
                {0xCB, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, DataDirection::None, 0,
                0x40},
        CdbCase{"EraseUnitOne", [](Channel& p) { return EraseUnit(p, RIG_DRIVE, 1); },
                {0xCB, 0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::None, 0, 0x40},
        CdbCase{"VerifyChecksum",
                [](Channel& p) {
                  static constexpr uint8_t checksum[2] = {0x12, 0x34};
                  return VerifyChecksum(p, RIG_DRIVE, checksum, 0);
                },
                {0xCC, 0x04, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::None, 0, 0x40},
        CdbCase{"ReadFamily",
                [](Channel& p) {
                  return ReadDriveMemory(p, 0x4500, 32, RIG_DRIVE.haId, RIG_DRIVE.target, destination);
                },
                {0xCC, 0x00, 0x00, 0x00, 0x45, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00}, DataDirection::In, 2048,
                0x48},
        CdbCase{"ReadWideAddress",
                [](Channel& p) {
                  return ReadDriveMemory(p, 0x12345678, 0x800, RIG_DRIVE.haId, RIG_DRIVE.target, destination);
                },
                {0xCC, 0x00, 0x12, 0x34, 0x56, 0x78, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00}, DataDirection::In, 2048,
                0x48},
        CdbCase{"ReadNothing",
                [](Channel& p) {
                  return ReadDriveMemory(p, 0x4500, 0, RIG_DRIVE.haId, RIG_DRIVE.target, destination);
                },
                {0xCC, 0x00, 0x00, 0x00, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, DataDirection::In, 2048,
                0x48},
        CdbCase{"FlashModeOff", [](Channel& p) { return FlashModeOff(p, RIG_DRIVE, CODE, 0); },
                {0xCC, 0x01, 0x00, 0x00, 'W', '2', '7', '4', 0, 0, 0, 0}, DataDirection::None, 0, 0x40},
        CdbCase{"FlashModeOn", [](Channel& p) { return FlashModeOn(p, RIG_DRIVE, CODE, 0); },
                {0xCC, 0x01, 0x01, 0x00, 'W', '2', '7', '4', 0, 0, 0, 0}, DataDirection::None, 0, 0x40},
        CdbCase{"FlashModeOnUnitOne", [](Channel& p) { return FlashModeOn(p, RIG_DRIVE, CODE, 1); },
                {0xCC, 0x11, 0x01, 0x00, 'W', '2', '7', '4', 0, 0, 0, 0}, DataDirection::None, 0, 0x40},
        CdbCase{"UnitKeptToEightBits", [](Channel& p) { return FlashModeOn(p, RIG_DRIVE, CODE, 0x11); },
                {0xCC, 0x11, 0x01, 0x00, 'W', '2', '7', '4', 0, 0, 0, 0}, DataDirection::None, 0, 0x40}),
    [](const ::testing::TestParamInfo<CdbCase>& info) { return std::string(info.param.name); });

// Which wait each command gets: a drive that answers after 300 ms beats the
// sector wait (1000 ms) and misses the normal one (100 ms).
class WaitLengthTest : public ::testing::TestWithParam<Command> {
 protected:
  DriveRig rig;
};

TEST_P(WaitLengthTest, SectorCommandsWaitLongerThanTheRest) {
  rig.channel().waits = CommandWaits{100, 1000};
  rig.injector.AddRule(FaultRule::DelayBy(KindOf(GetParam()), 1, 300));
  Call(rig.channel(), GetParam());
  const bool sector =
      GetParam() == Command::Erase || GetParam() == Command::Program || GetParam() == Command::EraseUnit;
  EXPECT_EQ(rig.aspi.DroppedCompletions(), sector ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(VendorCommands, WaitLengthTest, ::testing::ValuesIn(ALL_COMMANDS),
                         [](const auto& info) { return CommandName(info.param); });

class ResultCodeTest : public ::testing::Test {
 protected:
  ResultCodeTest() { rig.channel().lastSenseKey = 0x55; }
  DriveRig rig;
  CommandChannel& channel = rig.channel();
};

TEST_F(ResultCodeTest, ACompletedCommandGivesZeroAndLeavesTheLastSenseKeyAlone) {
  EXPECT_EQ(FlashModeOn(channel, RIG_DRIVE, W274, 0), COMMAND_COMPLETED);
  EXPECT_TRUE(rig.drive.InFlashMode(0));
  EXPECT_EQ(channel.lastSenseKey, 0x55);
}

TEST_F(ResultCodeTest, ARefusalGivesOneAndKeepsTheDrivesSenseByte) {
  EXPECT_EQ(FlashModeOff(channel, RIG_DRIVE, W274, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey, 0x05);
  EXPECT_TRUE(rig.test.dialogs.Boxes().empty());
}

TEST_F(ResultCodeTest, AWaitThatRunsOutGivesOneWithTheZeroSenseItLeaves) {
  rig.injector.AddRule(FaultRule::DelayBy(CommandKind::FlashOn, 1, 3 * fakes::TEST_WAITS.normalMs));
  EXPECT_EQ(FlashModeOn(channel, RIG_DRIVE, W274, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey, 0);
  EXPECT_TRUE(rig.test.dialogs.Boxes().empty());
}

TEST_F(ResultCodeTest, ADriveTheBackEndDoesNotServeGivesOneAtOnce) {
  EXPECT_EQ(FlashModeOn(channel, {2, 6}, W274, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey, 0);
  EXPECT_TRUE(rig.recorder.Commands().empty());
}

TEST_F(ResultCodeTest, BusyAndATransportFailureGiveOne) {
  rig.injector.AddRule(FaultRule::Act(CommandKind::Verify, 1, FaultAction::Busy));
  rig.injector.AddRule(FaultRule::Act(CommandKind::Verify, 2, FaultAction::TransportFailure));
  static constexpr uint8_t checksum[2] = {1, 2};
  EXPECT_EQ(VerifyChecksum(channel, RIG_DRIVE, checksum, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey, 0);
  channel.lastSenseKey = 0x55;
  EXPECT_EQ(VerifyChecksum(channel, RIG_DRIVE, checksum, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey, 0);
}


class NoEventTest : public ::testing::TestWithParam<Command> {
 protected:
  DriveRig rig;
  fakes::NoEvents noEvents;
};

TEST_P(NoEventTest, GivesTwoSendsNothingAndShowsTheBoxOnlyWhereItBelongs) {
  fakes::RecordingDialogs& dialogs = rig.test.dialogs;
  CommandChannel channel(noEvents, dialogs);
  fakes::TestAspi::InstallInto(channel.aspi);
  channel.lastSenseKey = 0x55;

  EXPECT_EQ(Call(channel, GetParam()), COMMAND_NO_EVENT);
  EXPECT_TRUE(rig.aspi.Submitted().empty());
  EXPECT_EQ(channel.lastSenseKey, 0x55);
  const auto boxes = dialogs.Boxes();
  if (BoxWhenNoEvent(GetParam())) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "CreateEvent \x8E\xB8\x94s");  // "失敗" in CP932
  } else {
    EXPECT_TRUE(boxes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(VendorCommands, NoEventTest, ::testing::ValuesIn(ALL_COMMANDS),
                         [](const auto& info) { return CommandName(info.param); });

class ReadDriveMemoryTest : public ::testing::Test {
 protected:
  ReadDriveMemoryTest() { std::fill(std::begin(out), std::end(out), 0xAA); }
  uint8_t Read(uint32_t length) {
    return ReadDriveMemory(rig.channel(), 0x4500, length, RIG_DRIVE.haId, RIG_DRIVE.target, out);
  }
  bool Untouched(std::size_t from = 0) const {
    return std::all_of(std::begin(out) + from, std::end(out), [](uint8_t b) { return b == 0xAA; });
  }
  DriveRig rig;
  uint8_t out[READ_REPLY_BYTES + 16];
};

TEST_F(ReadDriveMemoryTest, SuccessWritesExactlyTheLengthAsked) {
  ASSERT_EQ(Read(32), COMMAND_COMPLETED);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "R580");
  EXPECT_TRUE(Untouched(32));
}

TEST_F(ReadDriveMemoryTest, ARefusedReadLeavesTheDestinationAlone) {
  rig.injector.AddRule(FaultRule::Fail(CommandKind::Read, 1, 0x03));
  EXPECT_EQ(Read(32), COMMAND_NOT_COMPLETED);
  EXPECT_TRUE(Untouched());
}

TEST_F(ReadDriveMemoryTest, AReadThatTimesOutLeavesTheDestinationAlone) {
  rig.injector.AddRule(FaultRule::DelayBy(CommandKind::Read, 1, 3 * fakes::TEST_WAITS.normalMs));
  EXPECT_EQ(Read(32), COMMAND_NOT_COMPLETED);
  EXPECT_TRUE(Untouched());
}

TEST_F(ReadDriveMemoryTest, ALengthBeyondTheReplyBufferIsRefusedBeforeAnythingIsSent) {
  EXPECT_EQ(Read(READ_REPLY_BYTES + 1), COMMAND_NOT_COMPLETED);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(rig.aspi.Submitted().empty());
  EXPECT_EQ(Read(READ_REPLY_BYTES), COMMAND_COMPLETED);
  EXPECT_TRUE(Untouched(READ_REPLY_BYTES));
}

TEST_F(ReadDriveMemoryTest, EveryReadStartsFromAZeroedReplyBuffer) {
  ASSERT_EQ(Read(32), COMMAND_COMPLETED);
  // A drive that claims the read but sends nothing: the caller gets zeros,
  // not the previous reply.
  rig.injector.AddRule(FaultRule::Act(CommandKind::Read, 2, FaultAction::AcknowledgeOnly));
  ASSERT_EQ(Read(32), COMMAND_COMPLETED);
  EXPECT_TRUE(std::all_of(out, out + 32, [](uint8_t b) { return b == 0; }));
}

}  // namespace
