// A seeded random stream of request blocks into the simulator's
// SendASPI32Command from two threads at once, over instant stand-in devices:
// two virtual drives (one whose adapter reports more than the simulator may
// pass on) and a device that answers at random and now and then cannot be
// reached at all. See srb_fuzzer.h for what every block is checked for.
#include <gtest/gtest.h>

#include <iostream>
#include <thread>

#include "emulator/virtual_device_layer.h"
#include "emulator/virtual_drive.h"
#include "tests/reliability/random_device.h"
#include "tests/reliability/srb_fuzzer.h"
#include "transport/aspisim.h"

namespace reliability {
namespace {

constexpr uint64_t BLOCKS = 100000;
constexpr uint8_t LETTER_C = 0, LETTER_E = 2, LETTER_H = 5;
constexpr uint8_t CDROM = 0x05;
constexpr uint32_t WIDE_ADAPTER = 1u << 20;
constexpr uint16_t WIDE_ALIGNMENT = 3;

TEST(SimulatorFuzz, RandomBlocksFromTwoThreadsGetTheirAnswersAndCompleteOnce) {
  emulator::VirtualDeviceLayer layer;
  layer.SetRealSleep(false);
  layer.Place(LETTER_C, std::make_shared<emulator::VirtualDrive>());
  layer.Place(
      LETTER_E, std::make_shared<emulator::VirtualDrive>(),
      emulator::VirtualLetter{.maximumTransferLength = WIDE_ADAPTER, .alignmentMask = WIDE_ALIGNMENT});
  auto random = std::make_shared<RandomDevice>(4711);
  // Known only through the pass-through INQUIRY: 64 KiB, alignment 1.
  layer.Place(LETTER_H, random, emulator::VirtualLetter{.answersInquiryData = false});
  const std::size_t eventsBefore = SystemEvents().OpenCount();
  std::atomic<int32_t> adapterCount{0};
  FuzzTally total;
  {
    ASPISim sim(layer, SystemEvents(), adapterCount);
    ASSERT_EQ(adapterCount.load(), 3);
    const std::vector<FuzzAdapter> adapters = {
        {CDROM, 65536, 1}, {CDROM, WIDE_ADAPTER, WIDE_ALIGNMENT}, {RANDOM_DEVICE_TYPE, 65536, 1}};
    FuzzSettings first;
    first.seed = 20240601;
    first.ownsTimeout = true;
    first.chaos = [&layer](std::mt19937& r) { layer.FailPassThrough(LETTER_H, r() % 25); };
    FuzzSettings second;
    second.seed = 97;
    SrbFuzzer one(&ASPISim::SendASPI32Command, adapters, first);
    SrbFuzzer two(&ASPISim::SendASPI32Command, adapters, second);
    std::thread other([&] { two.Run(BLOCKS / 2); });
    one.Run(BLOCKS - BLOCKS / 2);
    other.join();

    EXPECT_EQ(ASPISim::SendASPI32Command(nullptr), SS_INVALID_SRB);
    EXPECT_EQ(sim.QueuedRequests(), 0u);
    total.Add(one.Tally());
    total.Add(two.Tally());
  }
  EXPECT_EQ(SystemEvents().OpenCount(), eventsBefore) << "events left open";
  EXPECT_EQ(total.blocks, BLOCKS);
  // Every path was taken.
  EXPECT_GT(total.completedGood, 0u);
  EXPECT_GT(total.completedError, 0u);
  EXPECT_GT(total.completedAborted, 0u);
  EXPECT_GT(total.abortsOfQueued, 0u);
  EXPECT_GT(total.invalidCodes, 0u);
  std::cout << "simulator fuzz: " << total.Summary() << std::endl;
}

}  // namespace
}  // namespace reliability
