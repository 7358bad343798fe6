// Selecting a kept drive: RunState and the drive's labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>

#include "app/program.h"
#include "app/toolkit/text.h"
#include "drive/discovery.h"
#include "tests/drive/discovery_rig.h"

namespace discovery_tests {
namespace {

struct Placement {
  uint8_t adapter;
  uint8_t target;
  const char* label6;
  const char* label7;
};

void PrintTo(const Placement& p, std::ostream* os) { *os << int{p.adapter} << "/" << int{p.target}; }

class SelectPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(SelectPlacement, ShowsAdapterAndTargetAsCentredHex) {
  const Placement& p = GetParam();
  DiscoveryRig rig(p.adapter + 1);
  rig.AddDrive(p.adapter, p.target);
  ASSERT_EQ(ScanDrives(rig.program(), rig.form), 1);
  rig.program().run.selectedHaId.store(0xEE);
  rig.program().run.selectedTarget.store(0xEE);

  SelectDrive(rig.program(), rig.form, 0);
  EXPECT_EQ(rig.program().run.selectedHaId.load(), p.adapter);
  EXPECT_EQ(rig.program().run.selectedTarget.load(), p.target);
  EXPECT_EQ(rig.program().run.driveSelected.load(), 1);
  EXPECT_EQ(rig.form.Label6.Caption(), p.label6);
  EXPECT_EQ(rig.form.Label7.Caption(), p.label7);
  EXPECT_TRUE(rig.form.Label6.Centered());
  EXPECT_TRUE(rig.form.Label7.Centered());
  EXPECT_EQ(rig.form.Label1.Caption(), "ZORVEX  ");
  EXPECT_EQ(rig.form.Label2.Caption(), "DVD-ROM RT-5800B");
  EXPECT_EQ(rig.form.Label8.Caption(), "1.0A");
  EXPECT_EQ(rig.form.Label11.Caption(), "1.0A");
}

INSTANTIATE_TEST_SUITE_P(Drives, SelectPlacement,
                         ::testing::Values(Placement{2, 0, "02 ", "00 "}, Placement{0, 7, "00 ", "07 "},
                                           Placement{26, 3, "1a ", "03 "}));

class SelectNowhere : public ::testing::TestWithParam<int> {};

TEST_P(SelectNowhere, ChangesNothing) {
  DiscoveryRig rig(1);
  rig.AddDrive(0, 2);
  ASSERT_EQ(ScanDrives(rig.program(), rig.form), 1);
  rig.program().run.selectedHaId.store(0x11);
  rig.program().run.selectedTarget.store(0x22);
  SelectDrive(rig.program(), rig.form, GetParam());
  EXPECT_EQ(rig.program().run.selectedHaId.load(), 0x11);
  EXPECT_EQ(rig.program().run.selectedTarget.load(), 0x22);
  EXPECT_EQ(rig.program().run.driveSelected.load(), 0);
  EXPECT_EQ(rig.form.Label6.Caption(), "Label6");
  EXPECT_EQ(rig.form.Label11.Caption(), "");
}

INSTANTIATE_TEST_SUITE_P(Positions, SelectNowhere, ::testing::Values(-1, 1, 8, 256));

struct HostileField {
  const char* name;
  std::size_t offset;  // in the reply
  std::string bytes;
};

void PrintTo(const HostileField& p, std::ostream* os) { *os << p.name; }

class HostileLabels : public ::testing::TestWithParam<HostileField> {};

// A field's bytes reach its label as sent, a zero byte as a blank, and the
// label never runs on into the next field.
TEST_P(HostileLabels, StayWithinTheirFields) {
  const HostileField& p = GetParam();
  InquiryBytes reply = DefaultInquiry();
  std::copy(p.bytes.begin(), p.bytes.end(), reply.begin() + static_cast<std::ptrdiff_t>(p.offset));
  DiscoveryRig rig(1);
  DriveTable& table = rig.program().drives;
  table.entries[0] = DriveEntry{0, 0, 0, {}, {}, {}};
  std::memcpy(table.entries[0].vendor, &reply[8], 8);
  std::memcpy(table.entries[0].product, &reply[16], 16);
  std::memcpy(table.entries[0].revision, &reply[32], 4);
  table.count = 1;

  SelectDrive(rig.program(), rig.form, 0);
  auto shown = [&](std::size_t from, std::size_t len) {
    std::string field(reinterpret_cast<const char*>(&reply[from]), len);
    for (char& c : field) c = c == '\0' ? ' ' : c;
    return tk::ToCp932(tk::FromCp932(field));
  };
  EXPECT_EQ(rig.form.Label1.Caption(), shown(8, 8));
  EXPECT_EQ(rig.form.Label2.Caption(), shown(16, 16));
  EXPECT_EQ(rig.form.Label8.Caption(), shown(32, 4));
  EXPECT_EQ(rig.form.Label11.Caption(), shown(32, 4));
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
