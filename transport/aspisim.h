// Placeholder until the pass-through simulator lands.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/device_layer.h"
#include "platform/event.h"

class ASPISim {
 public:
  ASPISim(platform::DeviceLayer& devices, EventService& events, std::atomic<int32_t>& hostAdapterCount);
  ~ASPISim();
  static uint32_t GetASPI32SupportInfo();
  static uint32_t SendASPI32Command(void* srb);
};
