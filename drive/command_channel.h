// What a drive command goes through: the installed ASPI entry points, the
// event service for its completion event, the boxes it may raise ("CreateEvent
// 失敗", "Reserved"), how long it waits, and where it keeps the last sense
// key. One channel per program; the window thread and the flash thread both
// send through it, never at the same time.
// Threads: any; the entry points and the last sense key are atomic, the waits
// are set before the first command and only read afterwards.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/dialogs.h"
#include "platform/event.h"
#include "transport/srb.h"

// How long a drive command waits for its completion.
struct CommandWaits {
  uint32_t normalMs = 5000;
  uint32_t sectorMs = 50000;  // erase and program
};

struct CommandChannel {
  CommandChannel(EventService& events, platform::Dialogs& dialogs) : events(events), dialogs(dialogs) {}
  CommandChannel(const CommandChannel&) = delete;
  CommandChannel& operator=(const CommandChannel&) = delete;

  AspiEntryPoints aspi;
  EventService& events;
  platform::Dialogs& dialogs;
  CommandWaits waits;
  // Byte 2 of the sense data of the last failed vendor command, whole.
  std::atomic<uint8_t> lastSenseKey{0};
};

// "CreateEvent 失敗" in CP932: the box of a command that could make no event.
inline constexpr char CREATE_EVENT_FAILED_TEXT[] =
    "CreateEvent \x8E\xB8\x94"
    "s";
