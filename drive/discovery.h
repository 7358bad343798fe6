// Finding the served drives: every target 0 to 7 of every host adapter is
// asked for its INQUIRY identity; a drive with the expected identity
// (drive/expected_identity.h) whose memory at 0x4500 begins with the family
// tag "R580" is kept in the DriveTable and listed in ComboBox1. Selecting a
// kept drive points RunState at it and shows its fields.
//
// The table holds 8 drives. Further matching drives are still asked and
// still move the "last matched" selection, but are neither read nor listed:
// the operator sees 8 lines and the count stays above one.
//
// Reply bytes are the drive's: they are kept as sent, and shown as sent
// except that a zero byte is shown as a blank, so a list line always keeps
// its 39 characters and a label its field's width, and no text runs on past
// its field.
//
// The identification request has its own execute block and reply buffer in
// static storage, and the display line of the last completed identification
// is kept beside them.
// Threads: window thread only (start-up and the drive list's handler).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "drive/command_channel.h"
#include "drive/drive_list_view.h"
#include "drive/drive_selection.h"
#include "drive/drive_table.h"
#include "drive/expected_identity.h"

inline constexpr uint8_t IDENTIFY_NO_MATCH = 0;
inline constexpr uint8_t IDENTIFY_MATCH = 1;
inline constexpr uint8_t IDENTIFY_NO_EVENT = 2;

inline constexpr std::size_t DISPLAY_LINE_LEN = 39;

// 1 the drive completed the INQUIRY and has the expected identity; 0 it did
// not complete (no device, error, a wait that ran out) or differs; 2 no
// completion event could be made: a "CreateEvent 失敗" box was shown and
// nothing was sent. Every completed INQUIRY rebuilds the display line.
uint8_t IdentifyDrive(CommandChannel& channel, uint8_t haId, uint8_t target);

// Asks every target of the host adapters that start-up counted, fills the
// table, appends each kept drive's line to the drive list and returns the
// number kept. The selection is left at the last drive whose identity
// matched, kept or not.
uint8_t ScanDrives(CommandChannel& channel, DriveSelection& selection, DriveTable& table,
                   DriveListView& view);

// Makes table entry `position` the selected drive and shows its fields.
// A position with no kept drive changes nothing.
void SelectDrive(DriveSelection& selection, const DriveTable& table, DriveListView& view, int position);

// The identification reply buffer as it stands (36 bytes, cleared before
// each request) and the display line of the last completed identification
// (39 characters, reply bytes as sent).
std::span<const uint8_t, INQUIRY_REPLY_LEN> IdentificationReply();
std::string_view DisplayLine();
