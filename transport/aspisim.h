// ASPISim: the ASPI back-end of the NT family. Every drive letter C to Z that
// answers the storage queries becomes one host adapter with one device
// (target 0, LUN 0); execute requests are queued for one worker thread that
// carries them out with the pass-through control and completes their blocks.
//
// One simulator exists at a time; the two static entry points reach it
// through the process-wide instance pointer. Creation, discovery and
// destruction happen on one thread (the window thread in the program). The
// entry points may be called from any thread once creation has returned.
//
// The device layer and the event service must outlive the simulator and any
// device call of a worker it had to abandon (the program's services live for
// the whole process).
//
// Abort guarantee: once SC_ABORT_SRB has returned for a block, the simulator
// never touches that block again, even when the device call carrying it is
// still hung; a worker given up on completes nothing more and ends by itself
// once its device call returns.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/device_layer.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "transport/drive_letter_opening.h"
#include "transport/srb.h"
#include "transport/unique_device_handle.h"

inline constexpr int32_t ASPISIM_MAX_ADAPTERS = DRIVE_LETTER_COUNT;
inline constexpr uint32_t ASPISIM_DEFAULT_TIMEOUT_S = 108000;

// One drive letter taken as a host adapter. Written during discovery only,
// except the transfer-length cap that the host adapter inquiry writes back
// (under the queue lock).
struct SptiAdapter {
  std::unique_ptr<SptiAdapter> next;
  uint8_t haId = 0;
  uint8_t driveLetterIndex = 0;  // 0 = C ... 23 = Z
  UniqueDeviceHandle device;
  uint8_t deviceType = 0;
  platform::IO_SCSI_CAPABILITIES capabilities{};
};

// One queued execute request. Guarded by the queue lock.
struct SptiRequest {
  std::unique_ptr<SptiRequest> next;
  const SptiAdapter* adapter = nullptr;
  int32_t ready = 0;  // 1 while waiting for the worker
  platform::SptdBlock block{};
  SRB_ExecSCSICmd* srb = nullptr;
  uint64_t serial = 0;  // tells requests apart when a freed one's address comes back
};

class ASPISim {
 public:
  // Runs discovery and stores the adapter count into hostAdapterCount.
  // startThread makes the worker threads; tests replace it to refuse.
  ASPISim(platform::DeviceLayer& devices, EventService& events, std::atomic<int32_t>& hostAdapterCount,
          WorkerStarter startThread = &platform::OsThread::Start);
  // The same over the drive letters a DriveLetterOpening has opened through
  // `devices`, when `opened` holds them, in place of opening them.
  ASPISim(platform::DeviceLayer& devices, EventService& events, std::atomic<int32_t>& hostAdapterCount,
          std::optional<OpenedLetters> opened, WorkerStarter startThread);
  ~ASPISim();
  ASPISim(const ASPISim&) = delete;
  ASPISim& operator=(const ASPISim&) = delete;

  // The two ASPI entry points. Threads: any.
  static uint32_t GetASPI32SupportInfo();
  static uint32_t SendASPI32Command(void* srb);

  static ASPISim* Instance();
  // Adapter lookup by host adapter number; nullptr without such an adapter.
  const SptiAdapter* Adapter(uint8_t haId) const;
  int32_t AdapterCount() const { return adapterCount_.load(); }
  bool Active() const { return active_.load() != 0; }
  uint32_t TimeoutSeconds() const { return timeoutSeconds_.load(); }
  // Requests in the queue, including one being carried out. Threads: any.
  std::size_t QueuedRequests() const;
  // An exclusive lock on the adapter's device for the length of a flash run
  // (platform::DeviceLayer::LockExclusive); nullptr with `refusal` set when
  // another program holds the device, or there is no such adapter.
  // Threads: the window thread.
  std::unique_ptr<platform::DeviceLock> LockAdapter(uint8_t haId, std::string& refusal);

 private:
  // Discovery (aspisim.cpp).
  void ScanAdapters(std::optional<OpenedLetters> opened);
  bool IdentifyAdapter(SptiAdapter& adapter);
  bool InquireThroughPassThrough(SptiAdapter& adapter);
  // The INQUIRY a device layer sent itself for the inquiry-data control, in
  // the command trace like every command that reaches a drive; `data` is
  // its reply, nullptr when the control failed.
  static void TraceLayerInquiry(uint8_t haId, const uint8_t* data, uint32_t startMs);
  void AcceptAdapter(std::unique_ptr<SptiAdapter> adapter);
  void ReleaseAll();

  // Requests (aspisim_commands.cpp).
  uint32_t Dispatch(void* srb);
  uint32_t HostAdapterInquiry(SRB_HAInquiry& srb);
  uint32_t GetDeviceType(SRB_GDEVBlock& srb);
  uint32_t QueueExecute(SRB_ExecSCSICmd& srb);
  uint32_t AbortRequest(SRB_Abort& srb);
  uint32_t GetSetTimeouts(SRB_GetSetTimeouts& srb);

  // Worker (aspisim_worker.cpp).
  std::unique_ptr<platform::OsThread> StartWorker();
  void StopWorker(bool sleepBetweenPolls);
  static void WorkerProc(uint64_t generation, platform::DeviceLayer* devices, EventService* events,
                         EventHandle wake);

  platform::DeviceLayer& devices_;
  EventService& events_;
  std::atomic<int32_t>& hostAdapterCount_;
  WorkerStarter startThread_;

  std::atomic<int32_t> active_{0};
  std::atomic<int32_t> adapterCount_{0};
  std::unique_ptr<SptiAdapter> firstAdapter_;
  SptiAdapter* lastAdapter_ = nullptr;
  std::array<SptiAdapter*, ASPISIM_MAX_ADAPTERS> table_{};

  // The queue, guarded by the process-wide queue lock.
  uint32_t queueCount_ = 0;
  std::unique_ptr<SptiRequest> firstRequest_;
  SptiRequest* lastRequest_ = nullptr;
  uint64_t lastSerial_ = 0;
  uint64_t inWorkSerial_ = 0;  // the request the worker is carrying out; 0: none
  // Records of requests that have left the queue, kept for the next ones so
  // that a drive command costs no heap memory.
  std::unique_ptr<SptiRequest> spareRequests_;
  uint32_t spareCount_ = 0;

  // Serialises aborts and teardown, which replace the worker.
  platform::Mutex workerLock_;
  std::unique_ptr<platform::OsThread> worker_;
  std::atomic<uint32_t> timeoutSeconds_{ASPISIM_DEFAULT_TIMEOUT_S};

  friend struct AspiSimQueue;
};
