#include "bench/command_bench.h"

#include <sched.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <stdexcept>

#include "app/entry/demo_drives.h"
#include "bench/handoff.h"
#include "drive/command_channel.h"
#include "drive/commands.h"
#include "platform/event.h"
#include "platform/system_library_loader.h"
#include "transport/aspi_library.h"
#include "transport/aspisim.h"
#include "transport/command_trace.h"
#include "transport/spti_block.h"

namespace bench {

namespace {

constexpr uint32_t FAMILY_ADDRESS = 0x4500;
constexpr uint32_t FAMILY_LENGTH = 32;

// A command that finds a box to show has failed the benchmark.
class NoDialogs final : public platform::Dialogs {
 public:
  void ShowMessage(std::string_view) override { throw std::runtime_error("a drive command raised a box"); }
  void ShowFatalError(std::string_view text, std::string_view) override { throw std::runtime_error(std::string(text)); }
  void Beep() override {}
};

demo::DemoOptions InstantDrives() {
  demo::DemoOptions options;
  options.drives = 1;
  options.latencyScale = 0;
  return options;
}

// Holds the calling thread, and every thread it starts meanwhile, to the CPU
// it is on. Where the scheduler puts two threads that hand work to each
// other decides a hand-over's time on a shared two-core machine (5 or 40 µs
// for the same code, run to run); on one CPU the path and its baseline are
// compared by what they do.
class OneCpu {
 public:
  OneCpu() {
    sched_getaffinity(0, sizeof old_, &old_);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);
  }
  ~OneCpu() { sched_setaffinity(0, sizeof old_, &old_); }
  OneCpu(const OneCpu&) = delete;
  OneCpu& operator=(const OneCpu&) = delete;

 private:
  cpu_set_t old_{};
};

// The drive command every benchmark here sends: a read of the family reply.
void ReadFamily(CommandChannel& channel) {
  std::array<uint8_t, FAMILY_LENGTH> reply{};
  if (ReadDriveMemory(channel, FAMILY_ADDRESS, FAMILY_LENGTH, 0, 0, reply.data()) != COMMAND_COMPLETED)
    throw std::runtime_error("the drive command did not complete");
}

// The pass-through simulator over instant virtual drives, on one CPU.
struct SimulatorBench {
  SimulatorBench() : drives(InstantDrives()), channel(SystemEvents(), dialogs),
                     simulator(drives.Layer(), SystemEvents(), adapters) {
    if (adapters.load() != 1) throw std::runtime_error("the simulator found no drive");
    channel.aspi.GetASPI32SupportInfo.store(&ASPISim::GetASPI32SupportInfo);
    channel.aspi.SendASPI32Command.store(&ASPISim::SendASPI32Command);
  }
  ~SimulatorBench() { drives.Interrupt(); }

  const OneCpu pinned;
  demo::DemoDrives drives;
  NoDialogs dialogs;
  CommandChannel channel;
  std::atomic<int32_t> adapters{0};
  ASPISim simulator;
};

CommandFigures Measure(CommandChannel& channel, int rounds, int batch) {
  const auto command = [&] { ReadFamily(channel); };
  BareHandoff handoff;
  CommandFigures figures;
  figures.timing = Interleave(rounds, batch, command, [&] { handoff.Run(); });
  figures.allocationsPerCommand = AllocationsPerCall(batch, rounds * batch, command);
  return figures;
}

// A pass-through INQUIRY straight into the device layer, `count` times; µs each.
double DeviceAlone(platform::DeviceLayer& layer, int count) {
  const platform::DeviceHandle h = layer.CreateFile(demo::FIRST_DRIVE_LETTER);
  std::array<uint8_t, SPTI_INQUIRY_LENGTH> data{};
  const platform::SptdBlock queued = BuildInquiryBlock(data.data());
  platform::SptdBlock block = queued;
  const double start = NowMs();
  for (int i = 0; i < count; ++i) {
    block = queued;
    layer.DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block, sizeof block);
  }
  const double us = (NowMs() - start) * 1000 / count;
  layer.CloseHandle(h);
  return us;
}

}  // namespace

CommandFigures SimulatorCommand(int rounds, int batch) {
  SimulatorBench bench;
  CommandFigures figures = Measure(bench.channel, rounds, batch);
  figures.deviceUs = DeviceAlone(bench.drives.Layer(), rounds * batch);
  return figures;
}

Comparison TracedCommand(int rounds, int batch) {
  SimulatorBench bench;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("zx-bench-trace-" + std::to_string(::getpid()) + ".jsonl")).string();
  std::string error;
  const std::unique_ptr<CommandTrace> trace = CommandTrace::Open(path, "zx-bench", "bench", error);
  if (!trace) throw std::runtime_error("cannot create " + path + ": " + error);
  trace->Header(TraceHeader{});
  const auto command = [&] { ReadFamily(bench.channel); };
  const Comparison timing = Interleave(
      rounds, batch,
      [&] {
        InstallCommandTrace(trace.get());
        command();
        InstallCommandTrace(nullptr);
      },
      command);
  const bool written = !trace->Stopped();
  std::remove(path.c_str());
  if (!written) throw std::runtime_error("the trace could not be written");
  return timing;
}

CommandFigures LibraryCommand(int rounds, int batch, const std::string& libraryFolder) {
  const OneCpu pinned;
  setenv("ZX_VIRTUAL_ASPI", demo::LibraryConfig(InstantDrives()).c_str(), 1);
  platform::SystemLibraryLoader loader(libraryFolder);
  NoDialogs dialogs;
  CommandChannel channel(SystemEvents(), dialogs);
  AspiLibrary library{loader, dialogs, channel.aspi};
  LoadAspiLibrary(library);
  const CommandFigures figures = Measure(channel, rounds, batch);
  UnloadAspiLibrary(library);
  return figures;
}

}  // namespace bench
