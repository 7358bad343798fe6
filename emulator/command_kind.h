// The kinds of command the RT-5800B understands, told apart by opcode, the
// mode in the low four bits of CDB byte 1 and, for flash mode, the on/off
// byte. Used to count and pick commands (fault injection, latencies) and to
// name them in option texts.
// Threads: any (pure functions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace emulator {

inline constexpr uint8_t OP_TEST_UNIT_READY = 0x00;
inline constexpr uint8_t OP_INQUIRY = 0x12;
inline constexpr uint8_t OP_VENDOR_WRITE = 0xCB;  // upload and sector commands
inline constexpr uint8_t OP_VENDOR_READ = 0xCC;   // memory read, flash mode, checksum

inline constexpr uint8_t MODE_READ = 0;
inline constexpr uint8_t MODE_FLASH = 1;   // 0xCC
inline constexpr uint8_t MODE_UPLOAD = 1;  // 0xCB
inline constexpr uint8_t MODE_PROGRAM = 2;
inline constexpr uint8_t MODE_ERASE = 4;   // 0xCB
inline constexpr uint8_t MODE_VERIFY = 4;  // 0xCC
inline constexpr uint8_t MODE_ERASE_UNIT = 8;

enum class CommandKind : uint8_t {
  FlashOn,
  FlashOff,
  Upload,
  Verify,
  Erase,
  EraseUnit,
  Program,
  Read,
  Inquiry,
  Other,  // anything else, well-formed or not
};

inline constexpr std::size_t COMMAND_KIND_COUNT = 10;

CommandKind ClassifyCommand(const uint8_t* cdb, uint8_t cdbLen);
// "flash-on", "flash-off", "upload", "verify", "erase", "erase-unit",
// "program", "read", "inquiry", "other".
std::string_view CommandKindName(CommandKind kind);
// The inverse of CommandKindName for the nine named kinds; "other" is not a
// name a user picks.
std::optional<CommandKind> ParseCommandKind(std::string_view name);

}  // namespace emulator
