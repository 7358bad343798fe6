#include "firmware/version_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>


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

StatusMsg VersionStatus(const VersionText& revision, const VersionText& carried) {
  VersionText drive = {};
  std::memcpy(
      drive,
      std::memcmp(revision, NOT_AVAILABLE, sizeof NOT_AVAILABLE) == 0 ? NOT_AVAILABLE_VERSION : revision,
      VERSION_TEXT_SIZE);
  drive[VERSION_TEXT_SIZE - 1] = '\0';
  for (std::size_t i = 0; i < VERSION_PREFIX_LEN; ++i)
    if (drive[i] != carried[i]) return StatusMsg::IncorrectFile;
  const int order = CompareTexts(carried, drive);
  if (order > 0) return StatusMsg::ChangeFirmware;
  if (order == 0) return StatusMsg::SameVersion;
  return StatusMsg::DriveNewer;
}

}  // namespace

void CheckVersion(const RunState& run, const DriveTable& drives, const ContainerInfo& container,
                  StatusView& view, int position) {
  if (run.driveSelected.load() == 0 || run.containerValid.load() == 0) return;
  if (position < 0 || position >= drives.count) return;
  const DriveEntry& entry = drives.entries[static_cast<std::size_t>(position)];
  const StatusMsg status = VersionStatus(entry.revision, container.version);
  view.ShowStatus(status);
  view.EnableFlash(status != StatusMsg::IncorrectFile);
}
