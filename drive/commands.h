// The RT-5800B's vendor command set: flash mode, upload, checksum check,
// erase, program and memory read, each one request through the execute
// protocol (transport/execute.h) with its own request block in static
// storage, so that a back-end finishing late writes into live memory.
//
// Result codes: 0 the drive completed the command (SS_COMP), 1 it did not
// (any other status, including a wait that ran out), 2 no completion event
// could be made and nothing was sent.
// On result 1, byte 2 of the sense area is kept whole in
// channel.lastSenseKey, after a modal "Reserved" box for sense keys 8, 9, 10,
// 12, 13 and 15. A success leaves the last sense key alone.
//
// Every command but ReadDriveMemory takes the drive it addresses as an
// argument: the flash run hands in the copy of the selection it took when it
// started, so a pick in the drive list during a run cannot redirect it.
// No memory is allocated per command; an upload is sent straight from the
// caller's buffer.
// Threads: ReadDriveMemory runs on the window thread at start-up, the others
// on the flash thread; two calls of the same command must never overlap.
#pragma once

#include <cstdint>
#include <span>

#include "drive/command_channel.h"
#include "drive/drive_table.h"

inline constexpr uint8_t COMMAND_COMPLETED = 0;
inline constexpr uint8_t COMMAND_NOT_COMPLETED = 1;
inline constexpr uint8_t COMMAND_NO_EVENT = 2;

inline constexpr uint32_t UPLOAD_BLOCK_BYTES = 4096;
inline constexpr uint32_t READ_REPLY_BYTES = 2048;

uint8_t FlashModeOn(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 4> code, uint8_t unit);
uint8_t FlashModeOff(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 4> code, uint8_t unit);
// Sends the low 24 bits of `address`; `data` holds blockCount x 4096 bytes and
// must stay untouched until the call returns.
uint8_t UploadBlock(CommandChannel& channel, DriveAddress drive, uint32_t address, uint8_t blockCount,
                    const uint8_t* data, uint8_t unit);
// The two checksum bytes go out in the order given.
uint8_t VerifyChecksum(CommandChannel& channel, DriveAddress drive, std::span<const uint8_t, 2> checksum,
                       uint8_t unit);
// Masks: the low 16 bits are sent.
uint8_t EraseSectors(CommandChannel& channel, DriveAddress drive, uint32_t mask, uint8_t unit);
uint8_t ProgramSectors(CommandChannel& channel, DriveAddress drive, uint32_t mask, uint8_t unit);
uint8_t EraseUnit(CommandChannel& channel, DriveAddress drive, uint8_t unit);
// Reads `length` bytes (at most READ_REPLY_BYTES) from drive address
// `address`; the destination is written only on result 0. A longer length is
// refused with result 1 before anything is sent.
uint8_t ReadDriveMemory(CommandChannel& channel, uint32_t address, uint32_t length, uint8_t haId, uint8_t target,
                        uint8_t* destination);
