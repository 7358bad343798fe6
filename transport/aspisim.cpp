#include "transport/aspisim.h"

#include "transport/srb.h"

ASPISim::ASPISim(platform::DeviceLayer&, EventService&, std::atomic<int32_t>&) {}
ASPISim::~ASPISim() = default;
uint32_t ASPISim::GetASPI32SupportInfo() { return 0xE400; }
uint32_t ASPISim::SendASPI32Command(void* srb) {
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
  return SS_INVALID_HA;
}
