// The drive list's change handler, ComboBox1Change: a pick selects the drive
// and checks its version, typed text and picks during a run change nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "tests/support/window/test_program.h"

namespace {

class VersionCheck : public ::testing::Test {
 protected:
  // A kept drive with a four-byte revision (zero bytes allowed) and its list line.
  void AddDrive(uint8_t haId, uint8_t target, const char* revision4) {
    DriveTable& table = tp->drives;
    DriveEntry& entry = table.entries[table.count];
    entry = DriveEntry{table.count, haId, target, "ZORVEX  ", "DVD-ROM RT-5800B", {}};
    std::memcpy(entry.revision, revision4, 4);
    form.ComboBox1.AddItem("[HA:" + std::to_string(haId) + "/ID:" + std::to_string(target) + "]");
    ++table.count;
  }
  void Carry(const char* version4, bool valid = true) {
    std::memcpy(tp->container.version, version4, 4);
    tp->container.version[4] = '\0';
    tp->run.containerValid.store(valid ? 1 : 0);
  }
  // An outcome for the check to replace, or to leave alone.
  void ShowEarlierOutcome() {
    tp->status.SetStatus(StatusMsg::SelectDrive, false);
    form.RichEdit1.SetText("earlier");
    form.Button1.SetEnabled(false);
  }

  fakes::TestProgram tp;
  TForm1 form{*tp, false};
};

TEST_F(VersionCheck, InvalidContainerUpdatesTheLabelsOnly) {
  AddDrive(5, 2, "1.02");
  Carry("1.05", false);
  ShowEarlierOutcome();
  form.ComboBox1.Pick(0);
  EXPECT_EQ(form.Label11.Caption(), "1.02");
  EXPECT_EQ(form.Label6.Caption(), "05 ");
  EXPECT_EQ(tp->run.selectedHaId.load(), 5);
  EXPECT_EQ(tp->status.StatusCode(), StatusMsg::SelectDrive);
  EXPECT_EQ(form.RichEdit1.Text(), "earlier");
  EXPECT_FALSE(form.Button1.Enabled());
}

// Two drives: the first may be flashed, the second is refused.
class DriveList : public VersionCheck {
 protected:
  void SetUp() override {
    AddDrive(0, 0, "1.02");
    AddDrive(1, 3, "2.05");
    Carry("1.05");
    form.ComboBox1.Pick(0);
    ASSERT_EQ(tp->status.StatusCode(), StatusMsg::ChangeFirmware);
    ASSERT_TRUE(form.Button1.Enabled());
  }
  void ExpectFirstDriveStillChecked() {
    EXPECT_EQ(tp->run.selectedHaId.load(), 0);
    EXPECT_EQ(tp->run.selectedTarget.load(), 0);
    EXPECT_EQ(form.Label11.Caption(), "1.02");
    EXPECT_EQ(tp->status.StatusCode(), StatusMsg::ChangeFirmware);
  }
};

TEST_F(DriveList, TypedTextIsIgnored) {
  form.ComboBox1.TypeText("[HA:1/ID:3]");
  ASSERT_EQ(form.ComboBox1.ItemIndex(), -1);
  ExpectFirstDriveStillChecked();
  EXPECT_TRUE(form.Button1.Enabled());
}

TEST_F(DriveList, PickDuringARunIsIgnored) {
  tp->run.runActive.store(true);
  form.Button1.SetEnabled(false);
  form.ComboBox1.Pick(1);
  ExpectFirstDriveStillChecked();
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_EQ(form.ComboBox1.ItemIndex(), 0);
  // A pick that enables the button is held back as well.
  AddDrive(2, 2, "1.01");
  form.ComboBox1.Pick(2);
  ExpectFirstDriveStillChecked();
  EXPECT_FALSE(form.Button1.Enabled());

  tp->run.runActive.store(false);
  form.ComboBox1.Pick(2);
  EXPECT_EQ(tp->run.selectedHaId.load(), 2);
  EXPECT_EQ(form.Label11.Caption(), "1.01");
  EXPECT_TRUE(form.Button1.Enabled());
}

TEST_F(DriveList, PickingTheRefusedDriveDisablesTheButton) {
  form.ComboBox1.Pick(1);
  EXPECT_EQ(tp->run.selectedHaId.load(), 1);
  EXPECT_EQ(tp->run.selectedTarget.load(), 3);
  EXPECT_EQ(form.Label11.Caption(), "2.05");
  EXPECT_EQ(tp->status.StatusCode(), StatusMsg::IncorrectFile);
  EXPECT_FALSE(form.Button1.Enabled());
}

}  // namespace
