#include "emulator/inquiry_data.h"

namespace emulator {

namespace {

void PutText(uint8_t* field, std::size_t width, std::string_view text) {
  for (std::size_t i = 0; i < width; ++i) field[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

}  // namespace

std::array<uint8_t, INQUIRY_DATA_LEN> BuildInquiryData(const DriveIdentity& identity) {
  std::array<uint8_t, INQUIRY_DATA_LEN> data{};
  data[0] = PERIPHERAL_TYPE_CDROM;
  data[1] = 0x80;  // removable medium
  data[2] = 0x02;  // SCSI-2
  data[3] = 0x02;  // response data format
  data[4] = INQUIRY_DATA_LEN - 5;
  PutText(&data[8], 8, identity.vendor);
  PutText(&data[16], 16, identity.product);
  PutText(&data[32], 4, identity.revision);
  return data;
}

}  // namespace emulator
