// The drive scan over virtual drives on several adapters and targets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "drive/discovery.h"
#include "emulator/command_kind.h"
#include "tests/drive/discovery_rig.h"

namespace discovery_tests {
namespace {

using emulator::CommandKind;
using emulator::FaultAction;
using emulator::FaultRule;
using emulator::VirtualDriveOptions;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr uint8_t OP_INQUIRY = 0x12;
constexpr uint8_t OP_READ = 0xCC;

VirtualDriveOptions WithTag(std::array<uint8_t, 4> tag) {
  VirtualDriveOptions options;
  options.familyTag = tag;
  return options;
}

VirtualDriveOptions WithRevision(std::string revision) {
  VirtualDriveOptions options;
  options.revision = std::move(revision);
  return options;
}

struct Placement {
  uint8_t adapter;
  uint8_t target;
  const char* prefix;
};

void PrintTo(const Placement& p, std::ostream* os) { *os << p.prefix; }

class DisplayLinePlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(DisplayLinePlacement, ShowsAdapterAndTargetAsCharacters) {
  const Placement& p = GetParam();
  DiscoveryRig rig(p.adapter + 1);
  rig.AddDrive(p.adapter, p.target);
  ASSERT_EQ(rig.Scan(), 1);
  const std::string expected = std::string(p.prefix) + std::string(DEFAULT_IDENTITY);
  ASSERT_EQ(expected.size(), DISPLAY_LINE_LEN);
  EXPECT_THAT(rig.Items(), ElementsAre(expected));
  const DriveEntry& entry = rig.table.entries[0];
  EXPECT_EQ(entry.haId, p.adapter);
  EXPECT_EQ(entry.target, p.target);
  EXPECT_STREQ(entry.vendor, "ZORVEX  ");
  EXPECT_STREQ(entry.product, "DVD-ROM RT-5800B");
  EXPECT_STREQ(entry.revision, "1.0A");
}

INSTANTIATE_TEST_SUITE_P(Adapters, DisplayLinePlacement,
                         ::testing::Values(Placement{1, 0, "[HA:1/ID:0]"}, Placement{0, 7, "[HA:0/ID:7]"},
                                           Placement{10, 0, "[HA::/ID:0]"}, Placement{17, 0, "[HA:A/ID:0]"}));

TEST(Scan, WrongFamilyIsNotKeptAndALaterDriveTakesPositionZero) {
  DiscoveryRig rig(2);
  rig.AddDrive(0, 1, WithTag({'R', '5', '8', '1'}));
  rig.AddDrive(1, 2);
  EXPECT_EQ(rig.Scan(), 1);
  EXPECT_EQ(rig.table.count, 1);
  const DriveEntry& entry = rig.table.entries[0];
  EXPECT_EQ(entry.index, 0);
  EXPECT_EQ(entry.haId, 1);
  EXPECT_EQ(entry.target, 2);
  EXPECT_THAT(rig.Items(), ElementsAre(Line(1, 2, DEFAULT_IDENTITY)));
  EXPECT_THAT(rig.OpcodesSentTo(0, 1), ElementsAre(OP_INQUIRY, OP_READ));
}

TEST(Scan, SelectionEndsAtTheLastMatchingDriveEvenWhenNotKept) {
  DiscoveryRig rig(1);
  rig.AddDrive(0, 1);
  rig.AddDrive(0, 3, WithTag({'X', '5', '8', '0'}));
  rig.AddDrive(0, 5, WithRevision("2.0A"));  // identity differs: not a match
  EXPECT_EQ(rig.Scan(), 1);
  EXPECT_EQ(rig.selection.Selected().haId, 0);
  EXPECT_EQ(rig.selection.Selected().target, 3);
  EXPECT_EQ(rig.selection.driveSelected.load(), 0);
}

struct FamilyFailure {
  const char* name;
  FaultRule rule;
};

void PrintTo(const FamilyFailure& p, std::ostream* os) { *os << p.name; }

class FailedFamilyRead : public ::testing::TestWithParam<FamilyFailure> {};

// The earlier drive's reply began with the tag; the failed read must not be
// judged by it.
TEST_P(FailedFamilyRead, DriveIsNotKept) {
  DiscoveryRig rig(1);
  rig.AddDrive(0, 0);
  rig.AddFaulty(0, 4).AddRule(GetParam().rule);
  EXPECT_EQ(rig.Scan(), 1);
  EXPECT_THAT(rig.Items(), ElementsAre(Line(0, 0, DEFAULT_IDENTITY)));
  EXPECT_EQ(rig.table.entries[0].target, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedFamilyRead,
    ::testing::Values(FamilyFailure{"CheckCondition", FaultRule::Fail(CommandKind::Read, 1, 0x05)},
                      FamilyFailure{"TransportFailure",
                                    FaultRule::Act(CommandKind::Read, 1, FaultAction::TransportFailure)},
                      // Answers with the tag after the wait has run out.
                      FamilyFailure{"LateAnswer", FaultRule::DelayBy(CommandKind::Read, 1, 3 * fakes::TEST_WAITS.normalMs)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scan, TwoDrivesAreListedInScanOrderAndNoneIsSelected) {
  DiscoveryRig rig(2);
  rig.AddDrive(1, 0);
  rig.AddDrive(0, 5);
  EXPECT_EQ(rig.Scan(), 2);
  EXPECT_THAT(rig.Items(), ElementsAre(Line(0, 5, DEFAULT_IDENTITY), Line(1, 0, DEFAULT_IDENTITY)));
  EXPECT_EQ(rig.table.entries[1].index, 1);
  EXPECT_EQ(rig.selection.driveSelected.load(), 0);
  // Lines only: no drive's fields were shown.
  EXPECT_THAT(rig.view.Calls(), Each(StartsWith("line ")));
}

struct AdapterBound {
  int32_t count;
  uint8_t driveAdapter;
  uint8_t expectedKept;
};

void PrintTo(const AdapterBound& p, std::ostream* os) {
  *os << "count " << p.count << ", drive on adapter " << int{p.driveAdapter};
}

class AdapterCount : public ::testing::TestWithParam<AdapterBound> {};

TEST_P(AdapterCount, BoundsTheScan) {
  DiscoveryRig rig(GetParam().count);
  rig.AddDrive(GetParam().driveAdapter, 7);
  EXPECT_EQ(rig.Scan(), GetParam().expectedKept);
  EXPECT_EQ(rig.aspi.Submitted().empty(), GetParam().expectedKept == 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, AdapterCount,
                         ::testing::Values(AdapterBound{0, 0, 0}, AdapterBound{-1, 0, 0},
                                           AdapterBound{2, 2, 0}, AdapterBound{3, 2, 1}));

// Eight table places: the ninth and tenth matching drives are still asked
// but neither read nor listed, and nothing is written past the table.
TEST(Scan, DrivesBeyondTheTableAreIgnored) {
  DiscoveryRig rig(2);
  for (uint8_t t = 0; t < 8; ++t) rig.AddDrive(0, t);
  rig.AddDrive(1, 0);
  rig.AddDrive(1, 1);
  EXPECT_EQ(rig.Scan(), 8);
  EXPECT_EQ(rig.table.count, 8);
  EXPECT_EQ(rig.Items().size(), 8u);
  for (uint8_t i = 0; i < 8; ++i) {
    EXPECT_EQ(rig.table.entries[i].index, i);
    EXPECT_EQ(rig.table.entries[i].target, i);
    EXPECT_EQ(rig.Items()[i], Line(0, i, DEFAULT_IDENTITY));
  }
  EXPECT_THAT(rig.OpcodesSentTo(1, 0), ElementsAre(OP_INQUIRY));
  EXPECT_THAT(rig.OpcodesSentTo(1, 1), ElementsAre(OP_INQUIRY));
  EXPECT_EQ(rig.selection.Selected().haId, 1);
  EXPECT_EQ(rig.selection.Selected().target, 1);
  EXPECT_STREQ(rig.afterTable, "guard");
}

TEST(Scan, ADriveNotKeptLeavesItsPlaceToTheNext) {
  DiscoveryRig rig(2);
  for (uint8_t t = 0; t < 8; ++t) rig.AddDrive(0, t, t == 3 ? WithTag({0, 0, 0, 0}) : VirtualDriveOptions{});
  rig.AddDrive(1, 6);
  EXPECT_EQ(rig.Scan(), 8);
  EXPECT_EQ(rig.table.entries[3].target, 4);
  EXPECT_EQ(rig.table.entries[7].haId, 1);
  EXPECT_EQ(rig.table.entries[7].target, 6);
  EXPECT_EQ(rig.Items().back(), Line(1, 6, DEFAULT_IDENTITY));
}

class FourthRevisionByte : public ::testing::TestWithParam<uint8_t> {};

// The only reply byte a kept drive may choose freely: the list line carries
// it as sent, a zero byte as a blank, and nothing beyond it.
TEST_P(FourthRevisionByte, IsShownAsSent) {
  const uint8_t byte35 = GetParam();
  InquiryBytes reply = DefaultInquiry();
  reply[35] = byte35;
  DiscoveryRig rig(1);
  rig.AddInquiry(0, 0, reply);
  ASSERT_EQ(rig.Scan(), 1);

  std::string expected = Line(0, 0, "ZORVEX  DVD-ROM RT-5800B1.0");
  expected += byte35 == 0 ? ' ' : static_cast<char>(byte35);
  EXPECT_THAT(rig.Items(), ElementsAre(expected));
  const DriveEntry& entry = rig.table.entries[0];
  EXPECT_EQ(static_cast<uint8_t>(entry.revision[3]), byte35);
  EXPECT_EQ(entry.revision[4], '\0');
  EXPECT_EQ(DisplayLine().size(), DISPLAY_LINE_LEN);
  EXPECT_EQ(static_cast<uint8_t>(DisplayLine()[38]), byte35);
}

INSTANTIATE_TEST_SUITE_P(Bytes, FourthRevisionByte,
                         ::testing::Values(0x00, 0x07, 0x1B, 0x7F, 0x81, 0xA0, 0xFF));

class ShortInquiry : public ::testing::TestWithParam<uint32_t> {};

// A drive that completes the INQUIRY with fewer bytes than asked for is
// judged by what it sent, not by the previous drive's reply.
TEST_P(ShortInquiry, IsNotJudgedByTheEarlierReply) {
  DiscoveryRig rig(1);
  rig.AddDrive(0, 0);
  rig.AddInquiry(0, 1, DefaultInquiry(), GetParam());
  EXPECT_EQ(rig.Scan(), 1);
  EXPECT_THAT(rig.OpcodesSentTo(0, 1), ElementsAre(OP_INQUIRY));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortInquiry, ::testing::Values(0u, 8u, 31u));

TEST(Scan, NoEventShowsABoxPerTargetAndGoesOn) {
  DiscoveryRig rig(2);
  rig.AddDrive(0, 0);
  fakes::NoEvents noEvents;
  CommandChannel channel(noEvents, rig.test.dialogs);
  fakes::TestAspi::InstallInto(channel.aspi);
  EXPECT_EQ(IdentifyDrive(channel, 0, 0), IDENTIFY_NO_EVENT);
  EXPECT_EQ(rig.test.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(ScanDrives(channel, rig.selection, rig.table, rig.view), 0);
  EXPECT_EQ(rig.test.dialogs.Count("CreateEvent \x8E\xB8\x94s"), 1 + 16);  // "失敗" in CP932
  EXPECT_EQ(rig.test.dialogs.Boxes().size(), 1u + 16u);
  EXPECT_TRUE(rig.view.Calls().empty());
  EXPECT_TRUE(rig.aspi.Submitted().empty());
}

}  // namespace
}  // namespace discovery_tests
