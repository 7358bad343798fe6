// Drives on chosen host adapters and targets behind the asynchronous test
// back-end, a channel that reaches them, and the selection, table and view
// that discovery fills, for tests of the drive scan and selection.
// Threads: test thread only.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "drive/discovery.h"
#include "drive/expected_identity.h"
#include "emulator/fault_injector.h"
#include "emulator/virtual_drive.h"
#include "platform/event.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_aspi.h"

namespace discovery_tests {

using InquiryBytes = std::array<uint8_t, INQUIRY_REPLY_LEN>;

// The 36 bytes a default virtual drive reports.
InquiryBytes DefaultInquiry();

// Answers INQUIRY with the given bytes, of which only the first
// `transferred` arrive, and passes every other command to the device behind.
class InquiryOverride final : public emulator::ScsiDevice {
 public:
  InquiryOverride(emulator::ScsiDevice& inner, const InquiryBytes& reply, uint32_t transferred);
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;

 private:
  emulator::ScsiDevice& inner_;
  InquiryBytes reply_;
  uint32_t transferred_;
};

// An INQUIRY display line: "[HA:a/ID:t]" (digits 0x30 + number) and the
// 28 identity bytes.
std::string Line(uint8_t adapter, uint8_t target, std::string_view identity);
inline constexpr std::string_view DEFAULT_IDENTITY = "ZORVEX  DVD-ROM RT-5800B1.0A";

class DiscoveryRig {
 public:
  explicit DiscoveryRig(int32_t adapterCount);
  ~DiscoveryRig();

  emulator::VirtualDrive& AddDrive(uint8_t adapter, uint8_t target,
                                   emulator::VirtualDriveOptions options = {});
  // A virtual drive whose INQUIRY answer is replaced.
  void AddInquiry(uint8_t adapter, uint8_t target, const InquiryBytes& reply,
                  uint32_t transferred = INQUIRY_REPLY_LEN);
  // A virtual drive behind a fault injector.
  emulator::FaultInjector& AddFaulty(uint8_t adapter, uint8_t target);

  CommandChannel& channel() { return *test; }
  uint8_t Scan() { return ScanDrives(*test, selection, table, view); }
  void Select(int position) { SelectDrive(selection, table, view, position); }
  std::vector<std::string> Items() const { return view.DriveLines(); }
  // The opcodes of the requests sent to one attached device, in order.
  std::vector<uint8_t> OpcodesSentTo(uint8_t adapter, uint8_t target) const;

  fakes::TestChannel test;
  DriveSelection selection;
  DriveTable table;
  char afterTable[8] = "guard";  // nothing may be written past the table
  fakes::RecordingView view;

 private:
  std::deque<emulator::VirtualDrive> drives_;
  std::deque<InquiryOverride> overrides_;
  std::deque<emulator::FaultInjector> injectors_;

 public:
  fakes::TestAspi aspi;  // stops before the devices it reaches go
};

}  // namespace discovery_tests
