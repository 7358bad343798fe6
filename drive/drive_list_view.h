// Where discovery shows what it found: the drive list and the selected
// drive's identity fields. Implemented by the window.
// Threads: window thread only.
#pragma once

#include <string>
#include <string_view>

// A kept drive's fields as shown: adapter and target as two lower-case hex
// digits and a blank, vendor, product and revision as sent by the drive (a
// zero byte shown as a blank).
struct DriveFields {
  std::string haId;
  std::string target;
  std::string vendor;
  std::string product;
  std::string revision;
};

class DriveListView {
 public:
  virtual ~DriveListView() = default;
  // Appends one line to the drive list.
  virtual void AddDriveLine(std::string_view line) = 0;
  // Shows the selected drive: adapter and target centred, then vendor,
  // product and the revision in both places it appears, in that order.
  virtual void ShowDriveFields(const DriveFields& fields) = 0;
};
