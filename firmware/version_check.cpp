#include "firmware/version_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/status_codes.h"
#include "drive/discovery.h"

namespace {

constexpr std::size_t VERSION_TEXT_SIZE = 5;  // four characters and a terminating zero
constexpr std::size_t VERSION_PREFIX_LEN = 3;
constexpr char NOT_AVAILABLE[] = "N/A ";
constexpr char NOT_AVAILABLE_VERSION[] = "0.01";

using VersionText = char[VERSION_TEXT_SIZE];

// Byte-wise as unsigned values; a text that ends where the other goes on is
// the smaller. Never reads past the arrays, terminated or not.
int CompareTexts(const VersionText& a, const VersionText& b) {
  for (std::size_t i = 0; i < VERSION_TEXT_SIZE; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

uint8_t VersionStatus(const VersionText& revision, const VersionText& carried) {
  VersionText drive = {};
  std::memcpy(
      drive,
      std::memcmp(revision, NOT_AVAILABLE, sizeof NOT_AVAILABLE) == 0 ? NOT_AVAILABLE_VERSION : revision,
      VERSION_TEXT_SIZE);
  drive[VERSION_TEXT_SIZE - 1] = '\0';
  for (std::size_t i = 0; i < VERSION_PREFIX_LEN; ++i)
    if (drive[i] != carried[i]) return STATUS_INCORRECT_FILE;
  const int order = CompareTexts(carried, drive);
  if (order > 0) return STATUS_CHANGE_FIRMWARE;
  if (order == 0) return STATUS_SAME_VERSION;
  return STATUS_DRIVE_NEWER;
}

// Puts the list back on the drive a run is flashing, so that it never shows
// another drive as the one being worked on.
void ShowSelectedLine(Program& program, TForm1& form) {
  const DriveAddress selected = program.run.Selected();
  for (int i = 0; i < program.drives.count; ++i) {
    const DriveEntry& entry = program.drives.entries[static_cast<std::size_t>(i)];
    if (entry.haId == selected.haId && entry.target == selected.target) {
      form.ComboBox1.SetItemIndex(i);
      return;
    }
  }
}

}  // namespace

void CheckVersion(Program& program, TForm1& form, int position) {
  if (program.run.driveSelected.load() == 0 || program.run.containerValid.load() == 0) return;
  if (position < 0 || position >= program.drives.count) return;
  const DriveEntry& entry = program.drives.entries[static_cast<std::size_t>(position)];
  const uint8_t status = VersionStatus(entry.revision, program.container.version);
  ShowStatus(program, form, status);
  form.Button1.SetEnabled(status != STATUS_INCORRECT_FILE);
}

void TForm1::ComboBox1Change() {
  // A run keeps the drive it started with, and Button1 stays off until it ends.
  if (program.run.runActive.load()) {
    ShowSelectedLine(program, *this);
    return;
  }
  const int position = ComboBox1.ItemIndex();
  if (position < 0 || position >= program.drives.count) return;
  SelectDrive(program, *this, position);
  if (program.run.containerValid.load() != 0) CheckVersion(program, *this, position);
}
