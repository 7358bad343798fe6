// The demo's virtual RT-5800B drives. For the pass-through family they sit
// on consecutive drive letters from D: behind the virtual device layer, each
// as   device layer -> command-log tap -> fault injector (latency, --fail)
// -> virtual drive;   for the library family the loadable virtual ASPI
// library builds the same chain itself from the text LibraryConfig makes.
// Threads: construction, Interrupt, Dump and destruction on the entry's
// thread; the layer and the drives are then used by the simulator's worker.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/entry/demo_options.h"
#include "emulator/drive_row.h"
#include "emulator/virtual_device_layer.h"

namespace demo {

inline constexpr uint8_t FIRST_DRIVE_LETTER = 1;  // D:

struct KindLatency {
  emulator::CommandKind kind;
  uint32_t ms;
};

// At scale 1 a whole run takes about 22 s, so the progress bar can be
// watched through its fast phase, its slow phase and its hold.
inline constexpr std::array<KindLatency, 7> DRIVE_LATENCIES = {{
    {emulator::CommandKind::FlashOn, 200},
    {emulator::CommandKind::FlashOff, 200},
    {emulator::CommandKind::Upload, 150},
    {emulator::CommandKind::Verify, 300},
    {emulator::CommandKind::Erase, 400},
    {emulator::CommandKind::EraseUnit, 1500},
    {emulator::CommandKind::Program, 600},
}};
// The virtual library knows one latency for every request: the average of a run.
inline constexpr uint32_t LIBRARY_LATENCY_MS = 350;

class DemoDrives {
 public:
  // Throws std::runtime_error when the command log cannot be created.
  // `replayText`: the trace of --replay, read already (DemoFiles); null:
  // read from its path here.
  explicit DemoDrives(const DemoOptions& options, std::shared_ptr<const std::string> replayText = nullptr);
  ~DemoDrives();
  DemoDrives(const DemoDrives&) = delete;
  DemoDrives& operator=(const DemoDrives&) = delete;

  platform::DeviceLayer& Layer() { return *layer_; }
  // Ends every latency wait now; later commands fail in transport. For the
  // way out, before the simulator stops its worker.
  void Interrupt();
  // Writes the dump of the drive on adapter 0, if one was asked for; one
  // line naming the first problem with the dump or the command log, or
  // empty when both were written. After the drives' last command.
  std::string Conclude() const;

 private:
  std::unique_ptr<emulator::DriveRow> row_;
  std::unique_ptr<emulator::VirtualDeviceLayer> layer_;
};

// The first problem with the files the drives wrote (command log, flash
// dump), from the demo's own drives (none for the library family) or from
// the virtual library; empty when there was none.
std::string FileProblem(const DemoDrives* drives);

// The virtual library's configuration text for the options.
std::string LibraryConfig(const DemoOptions& options);

}  // namespace demo
