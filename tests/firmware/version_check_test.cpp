// The version check: what it shows for the selected drive's revision against
// the version the container carries, and when it shows nothing.
#include "firmware/version_check.h"

#include <gmock/gmock.h>

#include <cstring>
#include <ostream>
#include <string>

#include "tests/support/recording_view.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VersionCheck : public ::testing::Test {
 protected:
  // A kept drive with a four-byte revision (zero bytes allowed).
  void AddDrive(uint8_t haId, uint8_t target, const char* revision4) {
    DriveEntry& entry = drives.entries[drives.count];
    entry = DriveEntry{drives.count, haId, target, "ZORVEX  ", "DVD-ROM RT-5800B", {}};
    std::memcpy(entry.revision, revision4, 4);
    ++drives.count;
  }
  void Carry(const char* version4, bool valid = true) {
    std::memcpy(container.version, version4, 4);
    container.version[4] = '\0';
    run.containerValid.store(valid ? 1 : 0);
  }
  void Check(int position) { CheckVersion(run, drives, container, view, position); }

  RunState run;
  DriveTable drives;
  ContainerInfo container;
  fakes::RecordingView view;
};

struct Row {
  const char* name;
  const char* revision;  // four bytes
  const char* carried;   // four bytes
  StatusMsg status;
  bool enabled;
};

void PrintTo(const Row& p, std::ostream* os) { *os << p.name; }

constexpr StatusMsg REFUSED = StatusMsg::IncorrectFile;
constexpr StatusMsg OLDER = StatusMsg::ChangeFirmware;
constexpr StatusMsg SAME = StatusMsg::SameVersion;
constexpr StatusMsg NEWER = StatusMsg::DriveNewer;

class VersionTable : public VersionCheck, public ::testing::WithParamInterface<Row> {};

TEST_P(VersionTable, CheckSetsStatusAndButton) {
  AddDrive(0, 0, GetParam().revision);
  Carry(GetParam().carried);
  run.driveSelected.store(1);
  Check(0);
  const Row& row = GetParam();
  EXPECT_THAT(view.Calls(), ElementsAre("status " + std::to_string(static_cast<int>(row.status)),
                                        row.enabled ? "flash on" : "flash off"));
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTable,
                         ::testing::Values(Row{"DriveOlder", "1.02", "1.05", OLDER, true},
                                           Row{"Same", "1.05", "1.05", SAME, true},
                                           Row{"DriveNewer", "1.07", "1.05", NEWER, true},
                                           Row{"ThirdCharacterDiffers", "1.15", "1.05", REFUSED, false},
                                           Row{"FirstCharacterDiffers", "2.05", "1.05", REFUSED, false},
                                           Row{"NotAvailableIsOlder", "N/A ", "0.05", OLDER, true},
                                           Row{"NotAvailableIsExactly0_01", "N/A ", "0.01", SAME, true},
                                           Row{"NotAvailableRefused", "N/A ", "1.05", REFUSED, false},
                                           Row{"NotAvailableOtherFourth", "N/Ax", "0.05", REFUSED, false},
                                           Row{"NotAvailableZeroFourth", "N/A\0", "0.01", REFUSED, false},
                                           Row{"BlankSortsBelowDigits", "1.0 ", "1.05", OLDER, true},
                                           Row{"LowerCaseIsHigher", "1.0c", "1.0C", NEWER, true},
                                           Row{"FourthByteAbove7F", "1.0\xB5", "1.05", NEWER, true},
                                           Row{"CarriedFourthAbove7F", "1.09", "1.0\xB5", OLDER, true},
                                           Row{"DriveTextEndsFirst", "1.0\0", "1.05", OLDER, true},
                                           Row{"CarriedTextEndsFirst", "1.05", "1.0\0", NEWER, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionCheck, NothingHappensWithAnInvalidContainer) {
  AddDrive(5, 2, "1.02");
  Carry("1.05", false);
  run.driveSelected.store(1);
  Check(0);
  EXPECT_THAT(view.Calls(), IsEmpty());
}

TEST_F(VersionCheck, NothingHappensWithoutASelectedDrive) {
  AddDrive(0, 0, "1.02");
  Carry("1.05");
  Check(0);
  EXPECT_THAT(view.Calls(), IsEmpty());
}

class CheckNowhere : public VersionCheck, public ::testing::WithParamInterface<int> {};

TEST_P(CheckNowhere, PositionWithoutADriveChangesNothing) {
  AddDrive(0, 0, "1.02");
  Carry("1.05");
  run.driveSelected.store(1);
  Check(GetParam());
  EXPECT_THAT(view.Calls(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Positions, CheckNowhere, ::testing::Values(-1, 1, 8));

}  // namespace
