// Owns one device handle of a device layer and closes it when it goes away.
// Threads: like any plain value; the owner decides.
#pragma once

#include <utility>

#include "platform/device_layer.h"

class UniqueDeviceHandle {
 public:
  UniqueDeviceHandle() = default;
  UniqueDeviceHandle(platform::DeviceLayer& devices, platform::DeviceHandle h) : devices_(&devices), h_(h) {}
  ~UniqueDeviceHandle() { Reset(); }
  UniqueDeviceHandle(const UniqueDeviceHandle&) = delete;
  UniqueDeviceHandle& operator=(const UniqueDeviceHandle&) = delete;
  UniqueDeviceHandle(UniqueDeviceHandle&& other) noexcept : devices_(other.devices_), h_(other.Release()) {}
  UniqueDeviceHandle& operator=(UniqueDeviceHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      devices_ = other.devices_;
      h_ = other.Release();
    }
    return *this;
  }
  platform::DeviceHandle get() const { return h_; }
  platform::DeviceHandle Release() { return std::exchange(h_, platform::INVALID_HANDLE_VALUE); }
  void Reset() {
    if (devices_ != nullptr && h_ != platform::INVALID_HANDLE_VALUE) devices_->CloseHandle(h_);
    h_ = platform::INVALID_HANDLE_VALUE;
  }

 private:
  platform::DeviceLayer* devices_ = nullptr;
  platform::DeviceHandle h_ = platform::INVALID_HANDLE_VALUE;
};
