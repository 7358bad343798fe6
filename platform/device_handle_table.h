// The handles a device layer gives out for its open devices: the layer's
// own numbers, counted up from 1 and never reused, each standing for a
// shared open device. A handle closed while a call on it still runs keeps
// its device (and the system's descriptor or handle in it) open until that
// call lets go, so a late call can never reach a device whose system number
// has been given out again.
// Threads: any.
#pragma once

#include <map>
#include <memory>

#include "platform/device_layer.h"
#include "platform/lock.h"

namespace platform {

template <class Device>
class DeviceHandleTable {
 public:
  DeviceHandle Add(std::shared_ptr<Device> device) {
    LockGuard guard(lock_);
    const DeviceHandle h = ++last_;
    open_.emplace(h, std::move(device));
    return h;
  }

  // nullptr when `h` is not open.
  std::shared_ptr<Device> Find(DeviceHandle h) {
    LockGuard guard(lock_);
    const auto it = open_.find(h);
    return it == open_.end() ? nullptr : it->second;
  }

  // Closes `h` and hands its device over: it closes when the caller and
  // every call still using it let go. nullptr when `h` was not open.
  std::shared_ptr<Device> Take(DeviceHandle h) {
    LockGuard guard(lock_);
    const auto it = open_.find(h);
    if (it == open_.end()) return nullptr;
    std::shared_ptr<Device> device = std::move(it->second);
    open_.erase(it);
    return device;
  }

  // Opens `h` again on `device` (a handle that Take closed).
  void Put(DeviceHandle h, std::shared_ptr<Device> device) {
    LockGuard guard(lock_);
    open_.emplace(h, std::move(device));
  }

 private:
  Mutex lock_;
  std::map<DeviceHandle, std::shared_ptr<Device>> open_;
  DeviceHandle last_ = 0;
};

}  // namespace platform
