// The stored identity, its comparison with INQUIRY replies, and one
// identification request through the asynchronous back-end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>

#include "drive/discovery.h"
#include "drive/expected_identity.h"
#include "emulator/command_kind.h"
#include "tests/drive/discovery_rig.h"

namespace discovery_tests {
namespace {

using emulator::CommandKind;
using emulator::FaultRule;

template <std::size_t N>
std::string Unscramble(const std::array<uint8_t, N>& stored, uint8_t key) {
  std::string plain;
  for (uint8_t b : stored) plain += static_cast<char>(b - key);
  return plain;
}

TEST(ExpectedIdentity, StoredBytesDecodeToTheServedDrive) {
  EXPECT_EQ(Unscramble(EXPECTED_IDENTITY.vendor, VENDOR_KEY), "ZORVEX  ");
  EXPECT_EQ(Unscramble(EXPECTED_IDENTITY.product, PRODUCT_KEY), "DVD-ROM RT-5800B");
  EXPECT_EQ(Unscramble(EXPECTED_IDENTITY.revision, REVISION_KEY), "1.0");
  // Stored, not plain: no field may be kept readable.
  EXPECT_NE(EXPECTED_IDENTITY.vendor[0], 'Z');
  EXPECT_NE(EXPECTED_IDENTITY.product[0], 'D');
  EXPECT_NE(EXPECTED_IDENTITY.revision[0], '1');
}

struct ReplyChange {
  const char* name;
  std::size_t offset;
  uint8_t value;
  bool matches;
};

void PrintTo(const ReplyChange& p, std::ostream* os) { *os << p.name; }

class IdentityReply : public ::testing::TestWithParam<ReplyChange> {};

TEST_P(IdentityReply, OnlyBytes8To34AreCompared) {
  InquiryBytes reply = DefaultInquiry();
  ASSERT_TRUE(MatchesIdentity(EXPECTED_IDENTITY, reply));
  reply[GetParam().offset] = GetParam().value;
  EXPECT_EQ(MatchesIdentity(EXPECTED_IDENTITY, reply), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, IdentityReply,
    ::testing::Values(ReplyChange{"PeripheralType", 0, 0x1F, true}, ReplyChange{"Byte7", 7, 'Z', true},
                      ReplyChange{"VendorFirst", 8, 'z', false}, ReplyChange{"VendorLast", 15, 0x00, false},
                      ReplyChange{"ProductFirst", 16, 'd', false}, ReplyChange{"ProductLast", 31, 'C', false},
                      ReplyChange{"RevisionFirst", 32, '2', false},
                      ReplyChange{"RevisionThird", 34, '1', false},
                      ReplyChange{"RevisionFourthLetter", 35, 'Z', true},
                      ReplyChange{"RevisionFourthZero", 35, 0x00, true},
                      ReplyChange{"RevisionFourthHigh", 35, 0xFF, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct BelowKey {
  const char* name;
  std::size_t replyOffset;
  uint8_t key;
  uint8_t storedByte;  // below the key
};

void PrintTo(const BelowKey& p, std::ostream* os) { *os << p.name; }

class StoredByteBelowKey : public ::testing::TestWithParam<BelowKey> {};

StoredIdentity WithStoredByte(std::size_t replyOffset, uint8_t value) {
  StoredIdentity stored = EXPECTED_IDENTITY;
  if (replyOffset < PRODUCT_OFFSET)
    stored.vendor[replyOffset - VENDOR_OFFSET] = value;
  else if (replyOffset < REVISION_OFFSET)
    stored.product[replyOffset - PRODUCT_OFFSET] = value;
  else
    stored.revision[replyOffset - REVISION_OFFSET] = value;
  return stored;
}

TEST_P(StoredByteBelowKey, MatchesNoReplyByte) {
  const BelowKey& p = GetParam();
  InquiryBytes reply = DefaultInquiry();
  // Among them the byte an 8-bit subtraction would wrap to.
  for (int candidate = 0; candidate < 256; ++candidate) {
    reply[p.replyOffset] = static_cast<uint8_t>(candidate);
    EXPECT_FALSE(MatchesIdentity(WithStoredByte(p.replyOffset, p.storedByte), reply)) << candidate;
  }
  // The same position does match once its stored byte is at or above the key.
  reply[p.replyOffset] = 0x00;
  EXPECT_TRUE(MatchesIdentity(WithStoredByte(p.replyOffset, p.key), reply));
}

INSTANTIATE_TEST_SUITE_P(Fields, StoredByteBelowKey,
                         ::testing::Values(BelowKey{"Vendor", 8, VENDOR_KEY, 0x50},
                                           BelowKey{"Product", 20, PRODUCT_KEY, 0x10},
                                           BelowKey{"Revision", 34, REVISION_KEY, 0x20}),
                         [](const auto& info) { return std::string(info.param.name); });

// One identification at a time through the asynchronous back-end.
class Identify : public ::testing::Test {
 protected:
  DiscoveryRig rig{1};
};

TEST_F(Identify, MatchingDriveKeepsItsReplyAndLine) {
  rig.AddDrive(0, 3);
  EXPECT_EQ(IdentifyDrive(rig.channel(), 0, 3), IDENTIFY_MATCH);
  const auto reply = IdentificationReply();
  const InquiryBytes expected = DefaultInquiry();
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), expected.begin()));
  EXPECT_EQ(DisplayLine(), Line(0, 3, DEFAULT_IDENTITY));

  const auto sent = rig.aspi.Submitted();
  ASSERT_EQ(sent.size(), 1u);
  const SRB_ExecSCSICmd& block = sent[0];
  EXPECT_EQ(block.SRB_Flags, SRB_EVENT_NOTIFY | SRB_DIR_IN);
  EXPECT_EQ(block.SRB_BufLen, 36u);
  EXPECT_EQ(block.SRB_SenseLen, 16);
  EXPECT_EQ(block.SRB_CDBLen, 6);
  EXPECT_EQ(block.SRB_Lun, 0);
  const uint8_t cdb[16] = {0x12, 0, 0, 0, 0x24, 0};
  EXPECT_EQ(std::memcmp(block.CDBByte, cdb, sizeof cdb), 0);
}

TEST_F(Identify, NonMatchingReplyStillRebuildsTheLineAsSent) {
  InquiryBytes reply{};
  const uint8_t hostile[] = {'\0', 'Z', 0x07, 0x81, 0x40, 0xFF, 0x0A, 0x7F};
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = hostile[i % sizeof hostile];
  rig.AddInquiry(0, 2, reply);
  EXPECT_EQ(IdentifyDrive(rig.channel(), 0, 2), IDENTIFY_NO_MATCH);
  const std::string_view line = DisplayLine();
  ASSERT_EQ(line.size(), DISPLAY_LINE_LEN);
  EXPECT_EQ(line.substr(0, 11), "[HA:0/ID:2]");
  EXPECT_EQ(line.substr(11), std::string_view(reinterpret_cast<const char*>(&reply[8]), 28));
}

struct Unfinished {
  const char* name;
  bool attach;
  FaultRule rule;
};

void PrintTo(const Unfinished& p, std::ostream* os) { *os << p.name; }

class IdentifyNotCompleted : public Identify, public ::testing::WithParamInterface<Unfinished> {};

// A request that does not end with SS_COMP is no match and leaves the line
// of the last completed identification, even when the drive's matching
// reply has reached the buffer.
TEST_P(IdentifyNotCompleted, IsNoMatchAndKeepsTheLastLine) {
  rig.AddDrive(0, 0);
  ASSERT_EQ(IdentifyDrive(rig.channel(), 0, 0), IDENTIFY_MATCH);
  if (GetParam().attach) rig.AddFaulty(0, 6).AddRule(GetParam().rule);
  EXPECT_EQ(IdentifyDrive(rig.channel(), 0, 6), IDENTIFY_NO_MATCH);
  EXPECT_EQ(DisplayLine(), Line(0, 0, DEFAULT_IDENTITY));
  EXPECT_TRUE(rig.test.dialogs.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, IdentifyNotCompleted,
    ::testing::Values(Unfinished{"NoDevice", false, {}},
                      Unfinished{"CheckCondition", true, FaultRule::Fail(CommandKind::Inquiry, 1, 0x05)},
                      // No sense handling: a "Reserved" key shows no box.
                      Unfinished{"ReservedSense", true, FaultRule::Fail(CommandKind::Inquiry, 1, 0x08)},
                      // Answers after the wait has run out.
                      Unfinished{"LateAnswer", true, FaultRule::DelayBy(CommandKind::Inquiry, 1, 3 * fakes::TEST_WAITS.normalMs)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace discovery_tests
