// Hostile drive replies at start-up: INQUIRY data and family replies of any
// length and content, from every target of every adapter the program can
// count. Labels and list lines must stay within their fields (the sanitizer
// builds catch any overrun), and exactly the drives that carry the served
// identity and the family tag must be offered.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

#include "firmware/status_message.h"
#include "app/messages.h"
#include "app/toolkit/text.h"
#include "drive/discovery.h"
#include "emulator/virtual_drive.h"
#include "firmware/container_format.h"
#include "tests/reliability/fault_plan.h"
#include "tests/reliability/hostile_device.h"
#include "tests/support/test_aspi.h"
#include "tests/support/window/test_program.h"
#include "app/toolkit/qt/qt_text.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

constexpr int ADAPTERS = 24;
constexpr int TARGETS = 8;
constexpr std::size_t TABLE_SIZE = 8;
constexpr std::size_t INQUIRY_LEN = 36;
constexpr int ROUNDS = 20;

// Text as the window shows it: a zero byte as a blank, through the code page.
std::string Shown(std::vector<uint8_t> bytes) {
  std::replace(bytes.begin(), bytes.end(), uint8_t{0}, uint8_t{' '});
  return tk::ToCp932(
      tk::FromCp932(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

// What the program received for an INQUIRY: the transferred bytes, zeros after.
std::vector<uint8_t> Received(const HostileAnswer& answer) {
  std::vector<uint8_t> reply(INQUIRY_LEN, 0);
  if (answer.status == emulator::SCSI_GOOD)
    std::copy_n(answer.bytes.begin(), std::min(answer.bytes.size(), INQUIRY_LEN), reply.begin());
  return reply;
}

bool Matches(const HostileAnswers& a) {
  if (a.inquiry.status != emulator::SCSI_GOOD) return false;
  const auto reply = Received(a.inquiry), served = ServedIdentity();
  return std::equal(reply.begin() + 8, reply.begin() + 35, served.begin() + 8);
}

bool CarriesTag(const HostileAnswers& a) {
  return a.family.status == emulator::SCSI_GOOD && a.family.bytes.size() >= 4 &&
         std::equal(a.family.bytes.begin(), a.family.bytes.begin() + 4, "R580");
}

// What discovery must make of one drive after another, in scan order.
struct ExpectedScan {
  std::vector<std::string> lines;
  std::vector<std::vector<uint8_t>> replies;  // of the kept drives
  std::vector<DriveAddress> kept;
  int reservedBoxes = 0;
  std::optional<DriveAddress> lastMatched;

  void See(uint8_t ha, uint8_t target, const HostileAnswers& a) {
    if (!Matches(a)) return;
    lastMatched = DriveAddress{ha, target};
    if (kept.size() >= TABLE_SIZE) return;  // asked, but neither read nor listed
    if (!CarriesTag(a)) {
      if (a.family.status == emulator::SCSI_CHECK_CONDITION && RaisesReservedBox(a.family.senseByte2))
        ++reservedBoxes;
      return;
    }
    const auto reply = Received(a.inquiry);
    std::vector<uint8_t> line = {'[', 'H', 'A', ':', static_cast<uint8_t>('0' + ha),
                                 '/', 'I', 'D', ':', static_cast<uint8_t>('0' + target),
                                 ']'};
    line.insert(line.end(), reply.begin() + 8, reply.end());
    lines.push_back(Shown(line));
    replies.push_back(reply);
    kept.push_back({ha, target});
  }
};

std::string Hex(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02x ", value);
  return text;
}

void ExpectListAndLabels(Program& program, TForm1& form, const ExpectedScan& expected) {
  ASSERT_EQ(program.drives.count, expected.kept.size());
  ASSERT_EQ(form.ComboBox1.ItemCount(), static_cast<int>(expected.lines.size()));
  for (std::size_t i = 0; i < expected.lines.size(); ++i) {
    SCOPED_TRACE("kept drive " + std::to_string(i));
    EXPECT_EQ(form.ComboBox1.Item(static_cast<int>(i)), expected.lines[i]);
    SelectDrive(program.run, program.drives, form.view, static_cast<int>(i));
    const auto& reply = expected.replies[i];
    EXPECT_EQ(form.Label6.Caption(), Hex(expected.kept[i].haId));
    EXPECT_EQ(form.Label7.Caption(), Hex(expected.kept[i].target));
    EXPECT_EQ(form.Label1.Caption(), Shown({reply.begin() + 8, reply.begin() + 16}));
    EXPECT_EQ(form.Label2.Caption(), Shown({reply.begin() + 16, reply.begin() + 32}));
    EXPECT_EQ(form.Label11.Caption(), Shown({reply.begin() + 32, reply.end()}));
    EXPECT_EQ(form.Label8.Caption(), form.Label11.Caption());
  }
}

// Start-up on the pass-through family with a hostile drive on every drive
// letter C to Z: 24 host adapters, one target each.
struct HostileLetters {
  ProgramRig rig;
  std::vector<std::shared_ptr<HostileDevice>> devices;

  explicit HostileLetters(std::mt19937& random) {
    for (uint8_t letter = 0; letter < ADAPTERS; ++letter) {
      devices.push_back(std::make_shared<HostileDevice>(DrawHostileAnswers(random)));
      rig.layer.Place(letter, devices.back());
    }
    rig.Start();
  }
  Program& program() { return rig.program(); }
  TForm1& form() { return rig.form(); }
};

TEST(HostileDriveReplies, EveryLetterAnswersWithRandomIdentityAndFamilyReplies) {
  std::mt19937 random(5800);
  int offered = 0;
  for (int round = 0; round < ROUNDS; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    HostileLetters letters(random);
    ASSERT_EQ(letters.program().run.hostAdapterCount.load(), ADAPTERS);
    ExpectedScan expected;
    for (int a = 0; a < ADAPTERS; ++a) expected.See(static_cast<uint8_t>(a), 0, letters.devices[a]->Answers());

    const uint8_t status = static_cast<uint8_t>(letters.program().status.StatusCode());
    if (expected.kept.size() == 1) {
      // The version check's verdict on a revision whose fourth byte is random.
      EXPECT_TRUE(status == 11 || status == 12 || status == 32 || status == 33) << int{status};
      EXPECT_EQ(letters.form().Button1.Enabled(), status != 11);
    } else {
      EXPECT_EQ(status, static_cast<uint8_t>(expected.kept.empty() ? StatusMsg::NoDrive : StatusMsg::SelectDrive));
      EXPECT_FALSE(letters.form().Button1.Enabled());
    }
    EXPECT_EQ(letters.form().RichEdit1.Text(), StatusText(status, false));
    EXPECT_EQ(letters.rig.dialogs.Count(RESERVED_BOX), expected.reservedBoxes);
    ExpectListAndLabels(letters.program(), letters.form(), expected);
    offered += static_cast<int>(expected.kept.size());
  }
  EXPECT_GT(offered, 0) << "the seed never made a drive worth offering";
}

// Every target of 24 adapters answers, through a back-end that serves eight
// targets per adapter.
struct AllTargets {
  fakes::TestProgram test;
  TForm1 form{*test, false};
  fakes::TestAspi aspi;

  AllTargets() {
    fakes::TestAspi::InstallInto(test->channel.aspi);
    test->run.hostAdapterCount = ADAPTERS;
  }
};

TEST(HostileDriveReplies, TheServedDriveOnAllTargetsOfAllAdaptersFillsTheTableOnly) {
  AllTargets rig;
  emulator::VirtualDrive drive;
  ExpectedScan expected;
  HostileAnswers served;
  served.inquiry.bytes = ServedIdentity();
  served.family.bytes = {'R', '5', '8', '0'};
  for (int a = 0; a < ADAPTERS; ++a)
    for (int t = 0; t < TARGETS; ++t) {
      rig.aspi.Attach(static_cast<uint8_t>(a), static_cast<uint8_t>(t), drive);
      expected.See(static_cast<uint8_t>(a), static_cast<uint8_t>(t), served);
    }

  EXPECT_EQ(ScanDrives(rig.test->channel, rig.test->run, rig.test->drives, rig.form.view), TABLE_SIZE);
  // The last drive that matched, though the table had no room for it.
  EXPECT_EQ(rig.test->run.selectedHaId.load(), ADAPTERS - 1);
  EXPECT_EQ(rig.test->run.selectedTarget.load(), TARGETS - 1);
  ExpectListAndLabels(*rig.test, rig.form, expected);
  // Every target asked once; only the drives that fit the table read.
  EXPECT_EQ(rig.aspi.Submitted().size(), std::size_t{ADAPTERS * TARGETS} + TABLE_SIZE);
}

TEST(HostileDriveReplies, HostileDrivesOnAllTargetsOfAllAdapters) {
  std::mt19937 random(192);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    AllTargets rig;
    std::vector<std::unique_ptr<HostileDevice>> devices;
    ExpectedScan expected;
    for (int a = 0; a < ADAPTERS; ++a)
      for (int t = 0; t < TARGETS; ++t) {
        devices.push_back(std::make_unique<HostileDevice>(DrawHostileAnswers(random)));
        rig.aspi.Attach(static_cast<uint8_t>(a), static_cast<uint8_t>(t), *devices.back());
        expected.See(static_cast<uint8_t>(a), static_cast<uint8_t>(t), devices.back()->Answers());
      }

    EXPECT_EQ(ScanDrives(rig.test->channel, rig.test->run, rig.test->drives, rig.form.view), expected.kept.size());
    EXPECT_EQ(rig.test.dialogs.Count(RESERVED_BOX), expected.reservedBoxes);
    ASSERT_TRUE(expected.lastMatched.has_value());
    EXPECT_EQ(rig.test->run.selectedHaId.load(), expected.lastMatched->haId);
    EXPECT_EQ(rig.test->run.selectedTarget.load(), expected.lastMatched->target);
    ExpectListAndLabels(*rig.test, rig.form, expected);
  }
}

}  // namespace
}  // namespace reliability
