// The start-up sequence on the pass-through family over virtual drives: every
// row of the outcome table, and what the window holds afterwards.
#include <gmock/gmock.h>

#include <ostream>

#include "app/messages.h"
#include "app/startup.h"
#include "app/toolkit/text.h"
#include "tests/support/window/program_rig.h"
#include "transport/aspisim.h"

namespace app_tests {

using namespace rig;
namespace {

struct OutcomeRow {
  const char* name;
  int drives;
  const char* revision;  // of every drive
  OwnFile ownFile;
  VersionChars carried;
  StatusMsg status;
  bool button1;
};

std::ostream& operator<<(std::ostream& out, const OutcomeRow& row) { return out << row.name; }

constexpr VersionChars V10B = {'1', '0', 'B'};

const OutcomeRow kRows[] = {
    {"NoDriveValidFile", 0, "1.0A", OwnFile::Valid, V10B, StatusMsg{16}, false},
    {"NoDriveMissingFile", 0, "1.0A", OwnFile::Missing, V10B, StatusMsg{16}, false},
    {"TwoDrivesValidFile", 2, "1.0A", OwnFile::Valid, V10B, StatusMsg{17}, false},
    {"TwoDrivesRejectedFile", 2, "1.0A", OwnFile::WrongTag, V10B, StatusMsg{17}, false},
    {"OneDriveMissingFile", 1, "1.0A", OwnFile::Missing, V10B, StatusMsg{10}, false},
    {"OneDriveWrongTag", 1, "1.0A", OwnFile::WrongTag, V10B, StatusMsg{11}, false},
    {"OneDriveRejectedVersion", 1, "1.0A", OwnFile::Valid, {'1', '1', 'B'}, StatusMsg{11}, false},
    {"OneDriveOlderThanCarried", 1, "1.0A", OwnFile::Valid, V10B, StatusMsg{12}, true},
    {"OneDriveSameAsCarried", 1, "1.0B", OwnFile::Valid, V10B, StatusMsg{32}, true},
    {"OneDriveNewerThanCarried", 1, "1.0C", OwnFile::Valid, V10B, StatusMsg{33}, true},
    {"OneDriveOtherFirmwareLine", 1, "1.0A", OwnFile::Valid, {'2', '0', 'B'}, StatusMsg{11}, false},
};

class OutcomeTest : public ::testing::TestWithParam<OutcomeRow> {};

TEST_P(OutcomeTest, MessageAndFlashButtonAsTheTableSays) {
  const OutcomeRow& row = GetParam();
  ProgramRig rig;
  for (int i = 0; i < row.drives; ++i) rig.AddDrive(row.revision);
  rig.SetOwnFile(row.ownFile, row.carried);
  TForm1& form = rig.Start();
  Program& program = rig.program();

  EXPECT_EQ(program.status.StatusCode(), row.status);
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(row.status, false));
  EXPECT_EQ(form.Button1.Enabled(), row.button1);
  EXPECT_TRUE(form.Button2.Enabled());
  EXPECT_EQ(form.Button2.Caption(), "Cancel");
  EXPECT_EQ(form.ComboBox1.ItemCount(), row.drives);
  EXPECT_EQ(program.run.hostAdapterCount.load(), row.drives);

  const bool accepted = row.ownFile == OwnFile::Valid && row.carried[1] == '0';
  EXPECT_EQ(program.run.containerValid.load(), accepted ? 1 : 0);
  const std::string carried = {char(row.carried[0]), '.', char(row.carried[1]), char(row.carried[2])};
  EXPECT_EQ(form.Label12.Caption(), accepted ? carried : "");
  if (row.drives == 1) {
    EXPECT_EQ(form.ComboBox1.ItemIndex(), 0);
    EXPECT_EQ(program.run.driveSelected.load(), 1);
    EXPECT_EQ(form.Label11.Caption(), row.revision);
    EXPECT_EQ(form.Label8.Caption(), row.revision);
    EXPECT_EQ(form.Label6.Caption(), "00 ");
    EXPECT_EQ(form.Label7.Caption(), "00 ");
    EXPECT_TRUE(form.Label6.Centered() && form.Label7.Centered());
    EXPECT_EQ(form.Label1.Caption(), "ZORVEX  ");
    EXPECT_EQ(form.Label2.Caption(), "DVD-ROM RT-5800B");
  } else {
    EXPECT_EQ(form.ComboBox1.ItemIndex(), -1);
    EXPECT_EQ(program.run.driveSelected.load(), 0);
    for (tk::Label* blank :
         {&form.Label11, &form.Label6, &form.Label7, &form.Label1, &form.Label2, &form.Label8})
      EXPECT_EQ(blank->Caption(), "");
  }
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, OutcomeTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartupTest, NoAnsweringLetterSendsNothingAndFindsNoDrive) {
  ProgramRig rig;
  TForm1& form = rig.Start();
  Program& program = rig.program();

  EXPECT_EQ(program.status.StatusCode(), StatusMsg::NoDrive);
  EXPECT_EQ(form.RichEdit1.Text(), "Target drive is not found.");
  EXPECT_FALSE(form.Button1.Enabled());
  ASSERT_NE(program.simulator, nullptr);
  EXPECT_EQ(program.simulator->AdapterCount(), 0);
  // The letters were tried, but with no adapter no entry point was installed.
  EXPECT_FALSE(rig.layer.OpenAttempts().empty());
  EXPECT_EQ(program.channel.aspi.SendASPI32Command.load(), nullptr);
  EXPECT_EQ(program.channel.aspi.GetASPI32SupportInfo.load(), nullptr);
  for (uint8_t letter = 0; letter < ASPISIM_MAX_ADAPTERS; ++letter)
    EXPECT_EQ(rig.layer.PassThroughCalls(letter), 0u) << "letter " << int{letter};
  EXPECT_EQ(form.Label19.Caption(), "WinNT");
  EXPECT_EQ(rig.libraries.Loads(), 0);
}

TEST(StartupTest, WindowIsBlankedCutAndCaptioned) {
  ProgramRig rig;
  rig.AddDrive();
  rig.AddDrive();
  TForm1& form = rig.Start();

  EXPECT_EQ(form.OuterHeight(), 240);
  const tk::Bounds bar = form.ProgressBar1.GetBounds();
  EXPECT_EQ(form.OuterHeight(), bar.top + bar.height + 63);
  EXPECT_EQ(form.ProgressBar1.Max(), 70);
  EXPECT_EQ(form.ProgressBar1.Position(), 0);
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(form.Timer1.Interval(), 1000);
  EXPECT_EQ(form.Caption(), "Zorvex Firmware Flash Utility for RT-5800B");
  EXPECT_EQ(form.Label9.Caption(), "");
  EXPECT_EQ(form.Label19.Caption(), "WinNT");
  EXPECT_EQ(form.Button1.Caption(), "Flash");
  EXPECT_TRUE(form.ComboBox1.Enabled());
  EXPECT_FALSE(form.Shown());
  EXPECT_FALSE(form.closedDuringStartup);
}

TEST(StartupTest, JapaneseSystemGetsJapaneseOutcomeAndCaptions) {
  ProgramRig rig;
  rig.system.langId = platform::LANG_ID_JAPANESE;
  rig.AddDrive();
  TForm1& form = rig.Start();

  EXPECT_TRUE(rig.program().run.Japanese());
  EXPECT_EQ(rig.program().status.StatusCode(), StatusMsg{12});
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(12, true));
  EXPECT_EQ(form.Button2.Caption(), tk::Cp932(u8"キャンセル"));
  EXPECT_TRUE(form.RadioButton1.Checked());
  EXPECT_TRUE(form.Button1.Enabled());
}

class UnknownFamilyTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(UnknownFamilyTest, NoBackEndAndNoDrive) {
  ProgramRig rig(RigOptions{.platformId = GetParam()});
  rig.AddDrive();
  TForm1& form = rig.Start();
  Program& program = rig.program();

  EXPECT_EQ(form.Label19.Caption(), "Label19");
  EXPECT_EQ(program.simulator, nullptr);
  EXPECT_EQ(rig.libraries.Loads(), 0);
  EXPECT_TRUE(rig.layer.OpenAttempts().empty());
  EXPECT_EQ(program.run.hostAdapterCount.load(), 0);
  EXPECT_EQ(program.status.StatusCode(), StatusMsg::NoDrive);
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_EQ(form.OuterHeight(), 240);
}

INSTANTIATE_TEST_SUITE_P(Ids, UnknownFamilyTest, ::testing::Values(0u, 3u));

}  // namespace
}  // namespace app_tests
