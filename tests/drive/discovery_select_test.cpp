// Selecting a kept drive: the selection and the drive's fields as shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>

#include "drive/discovery.h"
#include "tests/drive/discovery_rig.h"

namespace discovery_tests {
namespace {

struct Placement {
  uint8_t adapter;
  uint8_t target;
  const char* haText;
  const char* targetText;
};

void PrintTo(const Placement& p, std::ostream* os) { *os << int{p.adapter} << "/" << int{p.target}; }

class SelectPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(SelectPlacement, ShowsAdapterAndTargetAsHex) {
  const Placement& p = GetParam();
  DiscoveryRig rig(p.adapter + 1);
  rig.AddDrive(p.adapter, p.target);
  ASSERT_EQ(rig.Scan(), 1);
  rig.selection.selectedHaId.store(0xEE);
  rig.selection.selectedTarget.store(0xEE);

  rig.Select(0);
  EXPECT_EQ(rig.selection.selectedHaId.load(), p.adapter);
  EXPECT_EQ(rig.selection.selectedTarget.load(), p.target);
  EXPECT_EQ(rig.selection.driveSelected.load(), 1);
  EXPECT_EQ(rig.view.Calls().back(),
            std::string("fields ") + p.haText + "|" + p.targetText + "|ZORVEX  |DVD-ROM RT-5800B|1.0A");
}

INSTANTIATE_TEST_SUITE_P(Drives, SelectPlacement,
                         ::testing::Values(Placement{2, 0, "02 ", "00 "}, Placement{0, 7, "00 ", "07 "},
                                           Placement{26, 3, "1a ", "03 "}));

class SelectNowhere : public ::testing::TestWithParam<int> {};

TEST_P(SelectNowhere, ChangesNothing) {
  DiscoveryRig rig(1);
  rig.AddDrive(0, 2);
  ASSERT_EQ(rig.Scan(), 1);
  rig.selection.selectedHaId.store(0x11);
  rig.selection.selectedTarget.store(0x22);
  rig.Select(GetParam());
  EXPECT_EQ(rig.selection.selectedHaId.load(), 0x11);
  EXPECT_EQ(rig.selection.selectedTarget.load(), 0x22);
  EXPECT_EQ(rig.selection.driveSelected.load(), 0);
  EXPECT_FALSE(rig.view.Fields().has_value());
}

INSTANTIATE_TEST_SUITE_P(Positions, SelectNowhere, ::testing::Values(-1, 1, 8, 256));

struct HostileField {
  const char* name;
  std::size_t offset;  // in the reply
  std::string bytes;
};

void PrintTo(const HostileField& p, std::ostream* os) { *os << p.name; }

class HostileLabels : public ::testing::TestWithParam<HostileField> {};

// A field's bytes reach the view as sent, a zero byte as a blank, and a
// field never runs on into the next.
TEST_P(HostileLabels, StayWithinTheirFields) {
  const HostileField& p = GetParam();
  InquiryBytes reply = DefaultInquiry();
  std::copy(p.bytes.begin(), p.bytes.end(), reply.begin() + static_cast<std::ptrdiff_t>(p.offset));
  DiscoveryRig rig(1);
  DriveTable& table = rig.table;
  table.entries[0] = DriveEntry{0, 0, 0, {}, {}, {}};
  std::memcpy(table.entries[0].vendor, &reply[8], 8);
  std::memcpy(table.entries[0].product, &reply[16], 16);
  std::memcpy(table.entries[0].revision, &reply[32], 4);
  table.count = 1;

  rig.Select(0);
  auto shown = [&](std::size_t from, std::size_t len) {
    std::string field(reinterpret_cast<const char*>(&reply[from]), len);
    for (char& c : field) c = c == '\0' ? ' ' : c;
    return field;
  };
  const auto fields = rig.view.Fields();
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->vendor, shown(8, 8));
  EXPECT_EQ(fields->product, shown(16, 16));
  EXPECT_EQ(fields->revision, shown(32, 4));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, HostileLabels,
    ::testing::Values(HostileField{"ZeroInVendor", 8, std::string("ZO\0VEX\0\0", 8)},
                      HostileField{"ControlsInProduct", 16,
                                   std::string("\x01\x02\x1B[2J\t\r\nRT-58\x7F\x08", 16)},
                      HostileField{"HighBytesInVendor", 8, "\x83\x41\x83\x43\xA0\xFF\xFE\x81"},
                      HostileField{"LeadByteEndsProduct", 16, "DVD-ROM RT-5800\x81"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace discovery_tests
