#include "drive/discovery.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "drive/commands.h"
#include "transport/execute.h"

namespace {

constexpr uint8_t INQUIRY = 0x12;
constexpr uint8_t INQUIRY_CDB_LEN = 6;
constexpr uint8_t TARGETS_PER_ADAPTER = 8;
// SRB_HaId is 8 bits wide: an adapter past 255 could not be addressed.
constexpr int32_t ADDRESSABLE_ADAPTERS = 256;

// Where a drive of the served firmware family names it.
constexpr uint32_t FAMILY_REPLY_ADDRESS = 0x4500;
constexpr uint32_t FAMILY_REPLY_LEN = 32;
constexpr std::string_view DRIVE_FAMILY_TAG = "R580";

constexpr std::string_view LINE_TEMPLATE = "[HA:0/ID:0]";
constexpr std::size_t LINE_HA_DIGIT = 4;
constexpr std::size_t LINE_ID_DIGIT = 9;
static_assert(LINE_TEMPLATE.size() + VENDOR_LEN + PRODUCT_LEN + REVISION_LEN == DISPLAY_LINE_LEN);

// Static, like every drive command's block: a back-end finishing after the
// wait still writes into live memory.
SRB_ExecSCSICmd identifyBlock;
uint8_t identifyReply[INQUIRY_REPLY_LEN];
char displayLine[DISPLAY_LINE_LEN + 1];

char DigitFor(uint8_t number) { return static_cast<char>(static_cast<uint8_t>('0' + number)); }

void RebuildDisplayLine(uint8_t haId, uint8_t target) {
  std::memcpy(displayLine, LINE_TEMPLATE.data(), LINE_TEMPLATE.size());
  displayLine[LINE_HA_DIGIT] = DigitFor(haId);
  displayLine[LINE_ID_DIGIT] = DigitFor(target);
  std::memcpy(displayLine + LINE_TEMPLATE.size(), identifyReply + VENDOR_OFFSET,
              DISPLAY_LINE_LEN - LINE_TEMPLATE.size());
  displayLine[DISPLAY_LINE_LEN] = '\0';
}

// A zero byte has no glyph and ends the text wherever it is taken as a C
// string, hiding what the drive sent behind it; as a blank it keeps every
// field at its width.
std::string ForDisplay(std::string_view bytes) {
  std::string shown(bytes);
  std::replace(shown.begin(), shown.end(), '\0', ' ');
  return shown;
}

// The whole field, not up to its first zero: the terminator at the end is
// the only one the text is known to have.
template <std::size_t N>
std::string FieldForDisplay(const char (&text)[N]) {
  return ForDisplay(std::string_view(text, N - 1));
}

template <std::size_t N>
void CopyField(char (&text)[N], std::size_t replyOffset) {
  std::memcpy(text, identifyReply + replyOffset, N - 1);
  text[N - 1] = '\0';
}

void FillEntry(DriveEntry& entry, uint8_t index, uint8_t haId, uint8_t target) {
  entry.index = index;
  entry.haId = haId;
  entry.target = target;
  CopyField(entry.vendor, VENDOR_OFFSET);
  CopyField(entry.product, PRODUCT_OFFSET);
  CopyField(entry.revision, REVISION_OFFSET);
}

bool CarriesFamilyTag(CommandChannel& channel, uint8_t haId, uint8_t target) {
  uint8_t family[FAMILY_REPLY_LEN] = {};
  if (ReadDriveMemory(channel, FAMILY_REPLY_ADDRESS, FAMILY_REPLY_LEN, haId, target, family) !=
      COMMAND_COMPLETED)
    return false;
  return std::memcmp(family, DRIVE_FAMILY_TAG.data(), DRIVE_FAMILY_TAG.size()) == 0;
}

std::string HexText(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02x ", value);
  return text;
}

}  // namespace

uint8_t IdentifyDrive(CommandChannel& channel, uint8_t haId, uint8_t target) {
  // A drive that completes with a short transfer must not be judged by the
  // previous drive's reply still lying in the buffer.
  std::memset(identifyReply, 0, sizeof identifyReply);

  ExecRequest request;
  request.haId = haId;
  request.target = target;
  request.flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
  request.bufLen = INQUIRY_REPLY_LEN;
  request.buffer = identifyReply;
  request.cdbLen = INQUIRY_CDB_LEN;
  request.cdb[0] = INQUIRY;
  request.cdb[4] = INQUIRY_REPLY_LEN;

  switch (ExecuteScsiCommand(channel.aspi, channel.events, identifyBlock, request, channel.waits.normalMs)) {
    case ExecResult::NoEvent:
      channel.dialogs.ShowMessage(CREATE_EVENT_FAILED_TEXT);
      return IDENTIFY_NO_EVENT;
    case ExecResult::NotCompleted:
      return IDENTIFY_NO_MATCH;
    case ExecResult::Completed:
      break;
  }
  const bool matches = MatchesIdentity(EXPECTED_IDENTITY, identifyReply);
  RebuildDisplayLine(haId, target);
  return matches ? IDENTIFY_MATCH : IDENTIFY_NO_MATCH;
}

uint8_t ScanDrives(CommandChannel& channel, DriveSelection& selection, DriveTable& table,
                   DriveListView& view) {
  table.count = 0;
  const int32_t adapters = std::min(selection.hostAdapterCount.load(), ADDRESSABLE_ADAPTERS);
  for (int32_t a = 0; a < adapters; ++a) {
    const auto haId = static_cast<uint8_t>(a);
    for (uint8_t target = 0; target < TARGETS_PER_ADAPTER; ++target) {
      if (IdentifyDrive(channel, haId, target) != IDENTIFY_MATCH) continue;
      selection.selectedHaId.store(haId);
      selection.selectedTarget.store(target);
      // A full table ignores further drives rather than ending the scan, so
      // the selection still ends at the last drive that matched.
      if (table.count >= DRIVE_TABLE_SIZE) continue;
      FillEntry(table.entries[table.count], table.count, haId, target);
      if (!CarriesFamilyTag(channel, haId, target)) continue;
      view.AddDriveLine(ForDisplay(DisplayLine()));
      ++table.count;
    }
  }
  return table.count;
}

void SelectDrive(DriveSelection& selection, const DriveTable& table, DriveListView& view, int position) {
  if (position < 0 || position >= table.count) return;
  const DriveEntry& entry = table.entries[static_cast<std::size_t>(position)];
  selection.selectedHaId.store(entry.haId);
  selection.selectedTarget.store(entry.target);
  selection.driveSelected.store(1);
  view.ShowDriveFields({HexText(entry.haId), HexText(entry.target), FieldForDisplay(entry.vendor),
                        FieldForDisplay(entry.product), FieldForDisplay(entry.revision)});
}

std::span<const uint8_t, INQUIRY_REPLY_LEN> IdentificationReply() { return identifyReply; }

std::string_view DisplayLine() { return std::string_view(displayLine, DISPLAY_LINE_LEN); }
