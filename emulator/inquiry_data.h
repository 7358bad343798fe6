// The 36 bytes of standard INQUIRY data a drive reports: peripheral type,
// removable medium, and the space-padded vendor, product and revision texts.
// Threads: any (pure function).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace emulator {

inline constexpr std::size_t INQUIRY_DATA_LEN = 36;
inline constexpr uint8_t PERIPHERAL_TYPE_CDROM = 0x05;

struct DriveIdentity {
  std::string_view vendor = "ZORVEX  ";           // 8 characters
  std::string_view product = "DVD-ROM RT-5800B";  // 16 characters
  std::string_view revision = "1.0A";             // 4 characters
};

// Texts longer than their field are cut, shorter ones padded with blanks.
std::array<uint8_t, INQUIRY_DATA_LEN> BuildInquiryData(const DriveIdentity& identity);

}  // namespace emulator
