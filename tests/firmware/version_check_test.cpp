// The version check and the drive list's change handler.
#include "firmware/version_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "tests/support/fakes.h"

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
    tp->status.SetStatus(17, false);
    form.RichEdit1.SetText("earlier");
    form.Button1.SetEnabled(false);
  }

  fakes::TestProgram tp;
  TForm1 form{*tp, false};
};

struct Row {
  const char* name;
  const char* revision;  // four bytes
  const char* carried;   // four bytes
  uint8_t status;
  bool enabled;
};

void PrintTo(const Row& p, std::ostream* os) { *os << p.name; }

class VersionTable : public VersionCheck, public ::testing::WithParamInterface<Row> {
 protected:
  void ExpectOutcome() {
    const Row& row = GetParam();
    EXPECT_EQ(tp->status.StatusCode(), row.status);
    ASSERT_NE(StatusText(row.status, false), nullptr);
    EXPECT_EQ(form.RichEdit1.Text(), StatusText(row.status, false));
    EXPECT_EQ(form.Button1.Enabled(), row.enabled);
  }
};

TEST_P(VersionTable, CheckSetsStatusAndButton) {
  AddDrive(0, 0, GetParam().revision);
  Carry(GetParam().carried);
  tp->run.driveSelected.store(1);
  form.Button1.SetEnabled(!GetParam().enabled);
  CheckVersion(*tp, form, 0);
  ExpectOutcome();
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTable,
                         ::testing::Values(Row{"DriveOlder", "1.02", "1.05", 12, true},
                                           Row{"Same", "1.05", "1.05", 32, true},
                                           Row{"DriveNewer", "1.07", "1.05", 33, true},
                                           Row{"ThirdCharacterDiffers", "1.15", "1.05", 11, false},
                                           Row{"FirstCharacterDiffers", "2.05", "1.05", 11, false},
                                           Row{"NotAvailableIsOlder", "N/A ", "0.05", 12, true},
                                           Row{"NotAvailableIsExactly0_01", "N/A ", "0.01", 32, true},
                                           Row{"NotAvailableRefused", "N/A ", "1.05", 11, false},
                                           Row{"NotAvailableOtherFourth", "N/Ax", "0.05", 11, false},
                                           Row{"NotAvailableZeroFourth", "N/A\0", "0.01", 11, false},
                                           Row{"BlankSortsBelowDigits", "1.0 ", "1.05", 12, true},
                                           Row{"LowerCaseIsHigher", "1.0c", "1.0C", 33, true},
                                           Row{"FourthByteAbove7F", "1.0\xB5", "1.05", 33, true},
                                           Row{"CarriedFourthAbove7F", "1.09", "1.0\xB5", 12, true},
                                           Row{"DriveTextEndsFirst", "1.0\0", "1.05", 12, true},
                                           Row{"CarriedTextEndsFirst", "1.05", "1.0\0", 33, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionCheck, InvalidContainerUpdatesTheLabelsOnly) {
  AddDrive(5, 2, "1.02");
  Carry("1.05", false);
  ShowEarlierOutcome();
  form.ComboBox1.Pick(0);
  EXPECT_EQ(form.Label11.Caption(), "1.02");
  EXPECT_EQ(form.Label6.Caption(), "05 ");
  EXPECT_EQ(tp->run.selectedHaId.load(), 5);
  EXPECT_EQ(tp->status.StatusCode(), 17);
  EXPECT_EQ(form.RichEdit1.Text(), "earlier");
  EXPECT_FALSE(form.Button1.Enabled());
  // Nor does a direct check do anything.
  CheckVersion(*tp, form, 0);
  EXPECT_EQ(form.RichEdit1.Text(), "earlier");
  EXPECT_FALSE(form.Button1.Enabled());
}

TEST_F(VersionCheck, NothingHappensWithoutASelectedDrive) {
  AddDrive(0, 0, "1.02");
  Carry("1.05");
  ShowEarlierOutcome();
  CheckVersion(*tp, form, 0);
  EXPECT_EQ(tp->status.StatusCode(), 17);
  EXPECT_EQ(form.RichEdit1.Text(), "earlier");
  EXPECT_FALSE(form.Button1.Enabled());
}

class CheckNowhere : public VersionCheck, public ::testing::WithParamInterface<int> {};

TEST_P(CheckNowhere, PositionWithoutADriveChangesNothing) {
  AddDrive(0, 0, "1.02");
  Carry("1.05");
  tp->run.driveSelected.store(1);
  ShowEarlierOutcome();
  CheckVersion(*tp, form, GetParam());
  EXPECT_EQ(tp->status.StatusCode(), 17);
  EXPECT_FALSE(form.Button1.Enabled());
}

INSTANTIATE_TEST_SUITE_P(Positions, CheckNowhere, ::testing::Values(-1, 1, 8));

// Two drives: the first may be flashed, the second is refused.
class DriveList : public VersionCheck {
 protected:
  void SetUp() override {
    AddDrive(0, 0, "1.02");
    AddDrive(1, 3, "2.05");
    Carry("1.05");
    form.ComboBox1.Pick(0);
    ASSERT_EQ(tp->status.StatusCode(), 12);
    ASSERT_TRUE(form.Button1.Enabled());
  }
  void ExpectFirstDriveStillChecked() {
    EXPECT_EQ(tp->run.selectedHaId.load(), 0);
    EXPECT_EQ(tp->run.selectedTarget.load(), 0);
    EXPECT_EQ(form.Label11.Caption(), "1.02");
    EXPECT_EQ(tp->status.StatusCode(), 12);
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
  EXPECT_EQ(tp->status.StatusCode(), 11);
  EXPECT_FALSE(form.Button1.Enabled());
}

}  // namespace
