#include "emulator/virtual_drive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "emulator/sense_data.h"
#include "emulator/xorshift_fill.h"
#include "tests/emulator/drive_script.h"

namespace {

using namespace drive_script;
using emulator::Refusal;
using emulator::VirtualDrive;

void ExpectRefused(const Answer& answer, Refusal refusal) {
  const emulator::SenseCode code = emulator::SenseCodeFor(refusal);
  ASSERT_TRUE(answer.delivered);
  EXPECT_EQ(answer.reply.status, emulator::SCSI_CHECK_CONDITION) << emulator::RefusalName(refusal);
  EXPECT_EQ(answer.reply.sense[0], 0x70);
  EXPECT_EQ(SenseByte2(answer), code.key) << emulator::RefusalName(refusal);
  EXPECT_EQ(Asc(answer), code.asc) << emulator::RefusalName(refusal);
  EXPECT_EQ(Ascq(answer), code.ascq) << emulator::RefusalName(refusal);
}

class VirtualDriveTest : public ::testing::Test {
 protected:
  VirtualDrive drive;
  DriveScript script{drive};
  std::vector<uint8_t> part1 = MakePart(PART1_BYTES, 1);
  std::vector<uint8_t> part2 = MakePart(PART2_BYTES, 2);
};

// The cells are made a chunk at a time when first touched, in whatever
// order: still one xorshift stream through both units, under what was written.
TEST(VirtualDriveOldFirmware, IsOneStreamThroughBothUnitsUnderWhatWasWritten) {
  VirtualDrive drive;
  const std::vector<uint8_t> written{1, 2, 3, 4};
  drive.WriteFlash(0x30FFE, written);  // across two chunks nothing has touched yet
  const emulator::VirtualDriveOptions options;
  std::vector<uint8_t> stream(0x80000 + 0x20000);
  emulator::FillXorShiftBytes(options.oldFirmwareSeed, stream.data(), stream.size());
  std::copy(options.familyTag.begin(), options.familyTag.end(),
            stream.begin() + emulator::FAMILY_TAG_ADDRESS);
  std::copy(written.begin(), written.end(), stream.begin() + 0x30FFE);
  EXPECT_EQ(drive.ReadFlash(0x240000, 0x20000), std::vector<uint8_t>(stream.begin() + 0x80000, stream.end()));
  EXPECT_EQ(drive.ReadFlash(0, 0x80000), std::vector<uint8_t>(stream.begin(), stream.begin() + 0x80000));
}

TEST_F(VirtualDriveTest, TwoStageSequenceLeavesFlashEqualToThePartsAndTheBootAreaAlone) {
  const std::vector<uint8_t> bootBefore = drive.ReadFlash(0, 0x5000);

  ASSERT_TRUE(Good(script.StageOne(part1)));
  // The controller restarts after unit 0: the first command reports it once.
  const Answer first = script.FlashOn(1);
  ExpectRefused(first, Refusal::ControllerRestarted);
  ASSERT_TRUE(Good(script.StageTwo(part2)));

  EXPECT_EQ(drive.ReadFlash(0, 0x5000), bootBefore);
  EXPECT_EQ(drive.ReadFlash(PART1_ADDRESS, PART1_BYTES), part1);
  EXPECT_EQ(drive.ReadFlash(PART2_ADDRESS, PART2_BYTES), part2);
  EXPECT_FALSE(drive.InFlashMode(0));
  EXPECT_FALSE(drive.InFlashMode(1));
  EXPECT_EQ(drive.Restarts(), 1u);
}

TEST_F(VirtualDriveTest, ProgramWithoutEraseCorruptsTheSectorAndIsCaughtAtFlashModeOff) {
  const std::vector<uint8_t> oldCells = drive.ReadFlash(0x8000, 0x8000);
  ExpectRefused(script.StageOne(part1, /*skipErase=*/0x0001), Refusal::CompareMismatch);

  // Programming only clears bits: the sector holds old AND new.
  const std::vector<uint8_t> cells = drive.ReadFlash(0x8000, 0x8000);
  const uint32_t offset = 0x8000 - PART1_ADDRESS;
  for (uint32_t i = 0; i < cells.size(); ++i) ASSERT_EQ(cells[i], oldCells[i] & part1[offset + i]) << i;
  EXPECT_NE(cells, std::vector<uint8_t>(part1.begin() + offset, part1.begin() + offset + 0x8000));
  // Flash mode stays on after a failed compare and no restart happened.
  EXPECT_TRUE(drive.InFlashMode(0));
  EXPECT_EQ(drive.Restarts(), 0u);
}

TEST_F(VirtualDriveTest, ALostUploadPassesTheChecksumButFailsTheCompare) {
  drive.SetLosesUploadedData(true);
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(script.UploadPartOne(part1));
  ASSERT_TRUE(Good(script.VerifyPart(0, part1)));
  ExpectRefused(script.StageOne(part1), Refusal::CompareMismatch);
}

TEST_F(VirtualDriveTest, UnitAttentionComesOnceAfterUnitZeroOnlyAndCanBeSwitchedOff) {
  // Flash mode on and off without writing anything still restarts the controller.
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(Good(script.FlashOff(0)));
  uint8_t reply[36];
  ExpectRefused(script.Inquiry(36, reply, 36), Refusal::ControllerRestarted);
  EXPECT_TRUE(Good(script.Inquiry(36, reply, 36)));

  ASSERT_TRUE(Good(script.FlashOn(1)));
  ASSERT_TRUE(Good(script.FlashOff(1)));
  EXPECT_TRUE(Good(script.Inquiry(36, reply, 36)));

  drive.SetUnitAttentionAfterRestart(false);
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(Good(script.FlashOff(0)));
  EXPECT_TRUE(Good(script.FlashOn(1)));
  EXPECT_EQ(drive.Restarts(), 2u);
}

TEST_F(VirtualDriveTest, FlashModeOnAgainForTheSameUnitStartsAfresh) {
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ASSERT_TRUE(script.UploadPartOne(part1));
  ASSERT_TRUE(Good(script.FlashOn(0)));
  ExpectRefused(script.VerifyPart(0, part1), Refusal::UploadIncomplete);
}

TEST_F(VirtualDriveTest, InquiryReportsTheIdentityUpToTheAllocationLength) {
  uint8_t reply[64] = {};
  const Answer full = script.Inquiry(36, reply, sizeof reply);
  ASSERT_TRUE(Good(full));
  EXPECT_EQ(full.reply.transferred, 36u);
  EXPECT_EQ(reply[0], 0x05);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 8), 28), "ZORVEX  DVD-ROM RT-5800B1.0A");

  uint8_t shortReply[64] = {};
  const Answer cut = script.Inquiry(20, shortReply, sizeof shortReply);
  EXPECT_EQ(cut.reply.transferred, 20u);
  EXPECT_EQ(shortReply[20], 0);
}

TEST(VirtualDriveOptionsTest, RevisionAndFamilyTagAreConfigurable) {
  VirtualDrive drive({.revision = "2.1C", .familyTag = {'R', '5', '9', '0'}});
  DriveScript script(drive);
  uint8_t inquiry[36] = {};
  ASSERT_TRUE(Good(script.Inquiry(36, inquiry, 36)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 32), 4), "2.1C");
  uint8_t family[2048] = {};
  const Answer read = script.Read(0x4500, 32, family);
  ASSERT_TRUE(Good(read));
  EXPECT_EQ(read.reply.transferred, 32u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(family), 4), "R590");
}

TEST_F(VirtualDriveTest, MemoryReadReturnsTheFamilyTagAndTheFlashCells) {
  uint8_t reply[2048] = {};
  ASSERT_TRUE(Good(script.Read(0x4500, 32, reply)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "R580");
  ASSERT_TRUE(Good(script.Read(0x25F800, 2048, reply)));
  EXPECT_EQ(std::vector<uint8_t>(reply, reply + 2048), drive.ReadFlash(0x25F800, 2048));
}

// A refusal: the commands that lead up to it, then the one refused.
using Part = std::vector<uint8_t>;
struct RefusalCase {
  const char* name;
  std::function<void(DriveScript&, const Part&)> prepare;
  std::function<Answer(DriveScript&, const Part&)> refused;
  Refusal expected;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) { return out << c.name; }

class RefusalTest : public VirtualDriveTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, IsCaughtWithSenseNamingTheCauseAndChangesNoFlash) {
  GetParam().prepare(script, part1);
  const Part unit0Before = drive.ReadFlash(0, 0x80000);
  const Part unit1Before = drive.ReadFlash(0x240000, 0x20000);
  ExpectRefused(GetParam().refused(script, part1), GetParam().expected);
  EXPECT_EQ(drive.ReadFlash(0, 0x80000), unit0Before);
  EXPECT_EQ(drive.ReadFlash(0x240000, 0x20000), unit1Before);
}

void Nothing(DriveScript&, const Part&) {}
void OnUnit0(DriveScript& s, const Part&) { ASSERT_TRUE(Good(s.FlashOn(0))); }
void Uploaded(DriveScript& s, const Part& p) {
  ASSERT_TRUE(Good(s.FlashOn(0)));
  ASSERT_TRUE(s.UploadPartOne(p));
}
void Verified(DriveScript& s, const Part& p) {
  Uploaded(s, p);
  ASSERT_TRUE(Good(s.VerifyPart(0, p)));
}

uint8_t readReply[4096];

INSTANTIATE_TEST_SUITE_P(
    VirtualDrive, RefusalTest,
    ::testing::Values(
        RefusalCase{"WrongChecksum", Uploaded,
                    [](DriveScript& s, const Part& p) {
                      return s.Verify(0, p[p.size() - 2], static_cast<uint8_t>(p[p.size() - 1] + 1));
                    },
                    Refusal::ChecksumMismatch},
        RefusalCase{"CorruptedBlock",
                    [](DriveScript& s, const Part& p) {
                      Uploaded(s, p);
                      Part block(p.begin() + 0x3000, p.begin() + 0xB000);
                      block[100] ^= 0x01;
                      ASSERT_TRUE(Good(s.Upload(0, 0x8000, block.data(), 8)));
                    },
                    [](DriveScript& s, const Part& p) { return s.VerifyPart(0, p); }, Refusal::ChecksumMismatch},
        RefusalCase{"StoredChecksumDiffersFromTheOneSent",
                    [](DriveScript& s, const Part& p) {
                      Uploaded(s, p);
                      // The data still sum to the checksum sent; only the
                      // checksum stored behind them differs.
                      Part block(p.end() - 0x8000, p.end());
                      block[block.size() - 1] ^= 0x01;
                      ASSERT_TRUE(Good(s.Upload(0, 0x78000, block.data(), 8)));
                    },
                    [](DriveScript& s, const Part& p) { return s.VerifyPart(0, p); }, Refusal::ChecksumMismatch},
        RefusalCase{"WrongCode", Nothing, [](DriveScript& s, const Part&) { return s.FlashOn(0, {'W', '2', '7', '5'}); },
                    Refusal::WrongFlashCode},
        RefusalCase{"WrongCodeOff", OnUnit0,
                    [](DriveScript& s, const Part&) { return s.FlashOff(0, {'w', '2', '7', '4'}); },
                    Refusal::WrongFlashCode},
        RefusalCase{"UploadOutsideFlashMode", Nothing,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x5000, p.data(), 1); },
                    Refusal::NotInFlashMode},
        RefusalCase{"UploadToTheOtherUnit", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(1, 0x240000, p.data(), 1); },
                    Refusal::NotInFlashMode},
        RefusalCase{"UploadIntoBootArea", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x4000, p.data(), 1); },
                    Refusal::AddressOutOfRange},
        RefusalCase{"UploadPastTheUnit", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x7C000, p.data(), 8); },
                    Refusal::AddressOutOfRange},
        RefusalCase{"UnitOneAddressForUnitZero", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x240000, p.data(), 1); },
                    Refusal::AddressOutOfRange},
        RefusalCase{"UnalignedUpload", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x5800, p.data(), 1); },
                    Refusal::InvalidField},
        RefusalCase{"UploadOfNoBlocks", OnUnit0,
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x5000, p.data(), 0); },
                    Refusal::InvalidField},
        RefusalCase{"UploadLengthDiffersFromBlockCount", OnUnit0,
                    [](DriveScript& s, const Part& p) {
                      return s.Send({0xCB, 0x01, 0, 0, 0x50, 0, 0, 0, 2, 0, 0, 0}, emulator::DataDirection::Out,
                                    const_cast<uint8_t*>(p.data()), 4096);
                    },
                    Refusal::TransferMismatch},
        RefusalCase{"VerifyBeforeEveryBlock",
                    [](DriveScript& s, const Part& p) {
                      OnUnit0(s, p);
                      ASSERT_TRUE(Good(s.Upload(0, 0x5000, p.data(), 1)));
                    },
                    [](DriveScript& s, const Part& p) { return s.VerifyPart(0, p); }, Refusal::UploadIncomplete},
        RefusalCase{"EraseBeforeVerify", Uploaded, [](DriveScript& s, const Part&) { return s.Erase(0, 0x2000); },
                    Refusal::NotVerified},
        RefusalCase{"ProgramAfterAFailedVerify",
                    [](DriveScript& s, const Part& p) {
                      Verified(s, p);
                      s.Verify(0, 0, 0);
                    },
                    [](DriveScript& s, const Part&) { return s.Program(0, 0x2000); }, Refusal::NotVerified},
        RefusalCase{"UploadAfterErase",
                    [](DriveScript& s, const Part& p) {
                      Verified(s, p);
                      ASSERT_TRUE(Good(s.Erase(0, 0x2000)));
                    },
                    [](DriveScript& s, const Part& p) { return s.Upload(0, 0x5000, p.data(), 1); },
                    Refusal::UploadAfterErase},
        RefusalCase{"MaskBitOfTheOtherUnit", Verified, [](DriveScript& s, const Part&) { return s.Erase(0, 0x0100); },
                    Refusal::MaskNamesNoSector},
        RefusalCase{"MaskWithTwoBits", Verified, [](DriveScript& s, const Part&) { return s.Program(0, 0x0003); },
                    Refusal::MaskNamesNoSector},
        RefusalCase{"EmptyMask", Verified, [](DriveScript& s, const Part&) { return s.Erase(0, 0); },
                    Refusal::MaskNamesNoSector},
        RefusalCase{"WholeUnitEraseWithAMask", Verified,
                    [](DriveScript& s, const Part&) { return s.EraseUnit(0, 0x2000); }, Refusal::InvalidField},
        RefusalCase{"OtherUnitInFlashMode", OnUnit0, [](DriveScript& s, const Part&) { return s.FlashOn(1); },
                    Refusal::OtherUnitInFlashMode},
        RefusalCase{"OffWithoutOn", Nothing, [](DriveScript& s, const Part&) { return s.FlashOff(0); },
                    Refusal::NotInFlashMode},
        RefusalCase{"UnitTwo", Nothing, [](DriveScript& s, const Part&) { return s.FlashOn(2); },
                    Refusal::InvalidField},
        RefusalCase{"ReservedByteSet", Nothing,
                    [](DriveScript& s, const Part&) {
                      return s.Send({0xCC, 0x01, 1, 0, 'W', '2', '7', '4', 0, 0, 0, 1});
                    },
                    Refusal::InvalidField},
        RefusalCase{"FlashModeByteTwoNeitherOnNorOff", Nothing,
                    [](DriveScript& s, const Part&) {
                      return s.Send({0xCC, 0x01, 2, 0, 'W', '2', '7', '4', 0, 0, 0, 0});
                    },
                    Refusal::InvalidField},
        RefusalCase{"TenByteVendorCdb", Nothing,
                    [](DriveScript& s, const Part&) { return s.Send({0xCC, 0x01, 1, 0, 'W', '2', '7', '4', 0, 0}); },
                    Refusal::InvalidField},
        RefusalCase{"UnknownMode", Nothing,
                    [](DriveScript& s, const Part&) { return s.Send({0xCB, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); },
                    Refusal::InvalidField},
        RefusalCase{"DataWithANonDataCommand", Nothing,
                    [](DriveScript& s, const Part& p) {
                      return s.Send({0xCC, 0x01, 1, 0, 'W', '2', '7', '4', 0, 0, 0, 0}, emulator::DataDirection::Out,
                                    const_cast<uint8_t*>(p.data()), 16);
                    },
                    Refusal::TransferMismatch},
        RefusalCase{"UnknownOpcode", Nothing, [](DriveScript& s, const Part&) { return s.Send({0x28, 0, 0, 0, 0, 0}); },
                    Refusal::InvalidOpcode},
        RefusalCase{"ReadAcrossTheEndOfUnitZero", Nothing,
                    [](DriveScript& s, const Part&) { return s.Read(0x7FFF0, 32, readReply); },
                    Refusal::AddressOutOfRange},
        RefusalCase{"ReadLongerThan2048", Nothing,
                    [](DriveScript& s, const Part&) { return s.Read(0x4500, 2049, readReply, sizeof readReply); },
                    Refusal::InvalidField},
        RefusalCase{"ReadIntoAShorterBuffer", Nothing,
                    [](DriveScript& s, const Part&) { return s.Read(0x4500, 32, readReply, 16); },
                    Refusal::TransferMismatch}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

}  // namespace
