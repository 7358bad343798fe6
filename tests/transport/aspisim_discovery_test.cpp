#include <gmock/gmock.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <tuple>

#include "tests/transport/sim_rig.h"
#include "transport/spti_block.h"

namespace {

using simtest::SimRig;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr auto kInquiryData = platform::IOCTL_SCSI_GET_INQUIRY_DATA;
constexpr auto kCapabilities = platform::IOCTL_SCSI_GET_CAPABILITIES;
constexpr auto kPassThrough = platform::IOCTL_SCSI_PASS_THROUGH_DIRECT;

TEST(AspiSimDiscovery, AnsweringLettersAreNumberedWithoutGapsInLetterOrder) {
  SimRig rig;
  rig.Place(0, {}, 0);  // C: a disk
  rig.Place(2, {}, 5);  // E: the optical drive
  ASPISim& sim = rig.Create();

  ASSERT_EQ(sim.AdapterCount(), 2);
  EXPECT_EQ(rig.hostAdapterCount.load(), 2);
  EXPECT_EQ(ASPISim::GetASPI32SupportInfo(), 0x102u);
  EXPECT_EQ(sim.Adapter(0)->driveLetterIndex, 0);
  EXPECT_EQ(sim.Adapter(0)->deviceType, 0);
  EXPECT_EQ(sim.Adapter(1)->driveLetterIndex, 2);
  EXPECT_EQ(sim.Adapter(1)->haId, 1);
  EXPECT_EQ(sim.Adapter(1)->deviceType, 5);
  EXPECT_EQ(sim.Adapter(2), nullptr);

  // Only C..Z are asked for; a letter that does not answer gets three tries.
  // The letters are tried in rounds: the first round in letter order, and
  // one pause before each further round serves all letters still closed.
  std::vector<emulator::VirtualDeviceLayer::OpenAttempt> expected;
  for (uint32_t round = 0; round < 3; ++round)
    for (uint8_t i = 0; i < 24; ++i)
      if (round == 0 || (i != 0 && i != 2)) expected.push_back({i, round});
  EXPECT_EQ(rig.layer.OpenAttempts(), expected);
  EXPECT_EQ(rig.layer.Sleeps(), 2u);
}

TEST(AspiSimDiscovery, TwentyFourLettersMakeTwentyFourAdapters) {
  SimRig rig;
  for (uint8_t i = 0; i < 24; ++i) rig.Place(i);
  ASPISim& sim = rig.Create();
  EXPECT_EQ(sim.AdapterCount(), 24);
  EXPECT_EQ(ASPISim::GetASPI32SupportInfo(), 0x118u);
  EXPECT_EQ(sim.Adapter(23)->driveLetterIndex, 23);
  EXPECT_EQ(rig.layer.Sleeps(), 0u);  // nothing to retry, nothing to wait for
  rig.sim.reset();
  EXPECT_EQ(rig.layer.OpenHandles(), 0u);
  EXPECT_EQ(rig.layer.BadCloses(), 0u);
}

TEST(AspiSimDiscovery, NoAnsweringLetterLeavesTheSimulatorInactive) {
  SimRig rig;
  ASPISim& sim = rig.Create();
  EXPECT_FALSE(sim.Active());
  EXPECT_EQ(rig.hostAdapterCount.load(), 0);
  EXPECT_EQ(ASPISim::GetASPI32SupportInfo(), 0xE400u);
  SRB_HAInquiry inquiry{};
  EXPECT_EQ(ASPISim::SendASPI32Command(&inquiry), SS_INVALID_HA);
  EXPECT_EQ(inquiry.SRB_Status, SS_INVALID_HA);
}

TEST(AspiSimDiscovery, WithoutASimulatorTheEntryPointsRefuse) {
  ASSERT_EQ(ASPISim::Instance(), nullptr);
  EXPECT_EQ(ASPISim::GetASPI32SupportInfo(), 0xE400u);
  SRB_HAInquiry inquiry{};
  EXPECT_EQ(ASPISim::SendASPI32Command(&inquiry), SS_INVALID_HA);
  EXPECT_EQ(inquiry.SRB_Status, SS_INVALID_HA);
}

struct OpenCase {
  uint32_t failures;
  bool othersAnswer;  // all 23 other letters open at once, or none answers
  uint32_t tries;
  uint32_t sleeps;
};
// The bool: the letters opened ahead by a DriveLetterOpening, whose thread
// then becomes the worker, as the program begins its start-up.
class AspiSimOpen : public ::testing::TestWithParam<std::tuple<OpenCase, bool>> {};

TEST_P(AspiSimOpen, ALetterGetsThreeAttemptsWithAPauseBeforeEachRetry) {
  const auto& [c, begunEarly] = GetParam();
  SimRig rig;
  rig.Place(4, {.openFailures = c.failures});
  for (uint8_t i = 0; c.othersAnswer && i < 24; ++i)
    if (i != 4) rig.Place(i);
  EXPECT_EQ(rig.Create(begunEarly).AdapterCount(),
            (c.tries > c.failures ? 1 : 0) + (c.othersAnswer ? 23 : 0));
  std::vector<uint32_t> pausesBeforeTries;
  for (const auto& attempt : rig.layer.OpenAttempts())
    if (attempt.letterIndex == 4) pausesBeforeTries.push_back(attempt.sleepsBefore);
  ASSERT_EQ(pausesBeforeTries.size(), c.tries);
  for (std::size_t i = 1; i < pausesBeforeTries.size(); ++i)
    EXPECT_GT(pausesBeforeTries[i], pausesBeforeTries[i - 1]) << "try " << i + 1 << " came without a pause";
  EXPECT_EQ(rig.layer.Sleeps(), c.sleeps);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AspiSimOpen,
    ::testing::Combine(::testing::Values(OpenCase{0, true, 1, 0}, OpenCase{1, true, 2, 1},
                                         OpenCase{2, true, 3, 2}, OpenCase{3, true, 3, 2},
                                         OpenCase{1, false, 2, 2}, OpenCase{3, false, 3, 2}),
                       ::testing::Bool()));

// One drive on E:, 23 absent letters: 24 first attempts and two retries of each absent one.
constexpr std::size_t ATTEMPTS_WITH_ONE_DRIVE = 24 + 2 * 23;

// The first above-normal worker runs on the opening's thread once the
// letters are open; any other start gets a thread of its own. An opening
// that nobody used closes its letters and ends its thread.
TEST(DriveLetterOpening, HandsItsThreadToTheFirstWorkerAndClosesWhatNobodyTook) {
  SimRig rig;
  rig.Place(2);
  { DriveLetterOpening unused(rig.layer); }
  EXPECT_EQ(rig.layer.OpenHandles(), 0u);
  EXPECT_EQ(rig.layer.OpenAttempts().size(), ATTEMPTS_WITH_ONE_DRIVE);

  DriveLetterOpening opening(rig.layer);
  const WorkerStarter start = opening.Starter();
  std::atomic<std::size_t> attemptsBeforeWorker{0};
  std::atomic<int> ran{0};
  auto normal = start([&] { ran.fetch_add(1); }, platform::ThreadPriority::Normal);
  auto worker = start(
      [&] {
        attemptsBeforeWorker.store(rig.layer.OpenAttempts().size());
        ran.fetch_add(1);
      },
      platform::ThreadPriority::AboveNormal);
  auto another = start([&] { ran.fetch_add(1); }, platform::ThreadPriority::AboveNormal);
  ASSERT_TRUE(normal && worker && another);
  normal.reset();
  worker.reset();
  another.reset();
  EXPECT_EQ(ran.load(), 3);
  EXPECT_EQ(attemptsBeforeWorker.load(), 2 * ATTEMPTS_WITH_ONE_DRIVE);
  OpenedLetters letters = opening.Take();
  EXPECT_NE(letters[2].get(), platform::INVALID_HANDLE_VALUE);
  EXPECT_EQ(opening.Take()[2].get(), platform::INVALID_HANDLE_VALUE);  // handed over once
  letters[2].Reset();
  EXPECT_EQ(rig.layer.OpenHandles(), 0u);
}

struct LetterCase {
  const char* name;
  emulator::VirtualLetter settings;
  bool passThroughFails;
  bool accepted;
  uint32_t maxTransfer;
  uint32_t alignment;
  std::vector<uint32_t> controls;
};
class AspiSimLetter : public ::testing::TestWithParam<LetterCase> {};

TEST_P(AspiSimLetter, IsAcceptedOrDroppedByWhatItAnswers) {
  const LetterCase& c = GetParam();
  SimRig rig;
  rig.Place(3, c.settings, 4);
  if (c.passThroughFails) rig.layer.FailPassThrough(3, emulator::VirtualDeviceLayer::ALWAYS);
  ASPISim& sim = rig.Create();

  EXPECT_THAT(rig.layer.Controls(3), ElementsAreArray(c.controls));
  ASSERT_EQ(sim.AdapterCount(), c.accepted ? 1 : 0);
  EXPECT_EQ(rig.layer.OpenHandles(), c.accepted ? 1u : 0u);  // a dropped letter is closed
  if (!c.accepted) return;
  EXPECT_EQ(sim.Adapter(0)->deviceType, 4);
  EXPECT_EQ(sim.Adapter(0)->capabilities.MaximumTransferLength, c.maxTransfer);
  EXPECT_EQ(sim.Adapter(0)->capabilities.AlignmentMask, c.alignment);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AspiSimLetter,
    ::testing::Values(
        LetterCase{"Storage",
                   {.maximumTransferLength = 4096, .alignmentMask = 3},
                   false,
                   true,
                   4096,
                   3,
                   {kInquiryData, kCapabilities}},
        LetterCase{"NoCapabilities",
                   {.answersCapabilities = false},
                   false,
                   false,
                   0,
                   0,
                   {kInquiryData, kCapabilities}},
        LetterCase{"PassThroughOnly",
                   {.answersInquiryData = false, .answersCapabilities = false, .maximumTransferLength = 4096},
                   false,
                   true,
                   65536,
                   1,
                   {kInquiryData, kPassThrough}},
        LetterCase{
            "Nothing", {.answersInquiryData = false}, true, false, 0, 0, {kInquiryData, kPassThrough}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AspiSimDiscovery, TheDiscoveryInquiryAsksForNinetySixBytes) {
  SimRig rig;
  rig.Place(0, {.answersInquiryData = false});
  rig.Create();
  ASSERT_EQ(rig.recorder.Sent().size(), 1u);
  const platform::SCSI_PASS_THROUGH_DIRECT sent = rig.recorder.Sent()[0].sptd;
  EXPECT_THAT(std::vector<uint8_t>(sent.Cdb, sent.Cdb + 16),
              ElementsAre(0x12, 0, 0, 0, 96, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(sent.CdbLength, 6);
  EXPECT_EQ(sent.SenseInfoLength, 32);
  EXPECT_EQ(sent.SenseInfoOffset, platform::SPTD_SENSE_OFFSET);
  EXPECT_EQ(sent.DataIn, platform::SCSI_IOCTL_DATA_IN);
  EXPECT_EQ(sent.DataTransferLength, 96u);
  EXPECT_EQ(sent.TimeOutValue, 10u);  // bounded: a wedged device must not hold the start-up
  EXPECT_EQ(sent.TargetId, 1);
}

// A device layer whose inquiry-data answer points its record outside the answer.
class BadOffsetLayer final : public platform::DeviceLayer {
 public:
  int passThroughCalls = 0;
  platform::DeviceHandle CreateFile(uint8_t index) override {
    return index == 0 ? 7 : platform::INVALID_HANDLE_VALUE;
  }
  bool DeviceIoControl(platform::DeviceHandle, uint32_t code, void*, uint32_t, void* out,
                       uint32_t outLen) override {
    if (code == kPassThrough) return ++passThroughCalls, false;
    if (code != kInquiryData) return true;
    std::memset(out, 0xFF, outLen);
    return true;
  }
  void CloseHandle(platform::DeviceHandle) override {}
  void Sleep(uint32_t) override {}
};

TEST(AspiSimDiscovery, AnInquiryRecordOutsideTheAnswerCountsAsNoAnswer) {
  BadOffsetLayer layer;
  std::atomic<int32_t> count{0};
  ASPISim sim(layer, SystemEvents(), count);
  EXPECT_EQ(layer.passThroughCalls, 1);
  EXPECT_EQ(sim.AdapterCount(), 0);
}

}  // namespace
