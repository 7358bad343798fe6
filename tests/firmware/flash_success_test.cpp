// Whole successful runs against the virtual drive: what is sent, in which
// order, from where, and what the drive and the view hold afterwards.
#include <gmock/gmock.h>

#include <optional>
#include <ostream>

#include "emulator/sha256.h"
#include "firmware/container.h"
#include "platform/lock.h"
#include "tests/firmware/flash_expected.h"
#include "tests/firmware/flash_rig.h"

namespace flash_tests {
namespace {

using emulator::DataDirection;

// What the view showed whenever a command reached the drive.
struct Sighting {
  std::string lastCall;
  bool flashEnabled;
  bool powerOffOffered;
};

class FlashSequenceTest : public ::testing::TestWithParam<bool> {};

TEST_P(FlashSequenceTest, SendsEveryCommandOnceInOrderAndLeavesTheDriveFlashed) {
  const bool unitAttention = GetParam();
  FlashRig rig(unitAttention);
  const std::vector<uint8_t> bootBefore = rig.drive.ReadFlash(0, 0x5000);
  platform::Mutex lock;
  std::vector<Sighting> sightings;
  rig.log.SetListener([&](const emulator::CommandLogEntry&) {
    const auto calls = rig.view.Calls();
    Sighting s{calls.empty() ? "" : calls.back(), rig.view.FlashEnabled(), rig.view.PowerOffOffered()};
    platform::LockGuard guard(lock);
    sightings.push_back(s);
  });

  ASSERT_TRUE(rig.Run());

  // The drive's own unit attention after its restart is answered with one repeat.
  const auto expected = ExpectedRun(StoredChecksums(rig.container), unitAttention);
  ASSERT_EQ(expected.size(), unitAttention ? 62u : 61u);
  ExpectCommands(rig.Sent(), expected, RIG_DRIVE.haId);
  if (unitAttention) {
    EXPECT_EQ(rig.channel().lastSenseKey.load(), 0x06);
  }

  platform::LockGuard guard(lock);
  ASSERT_EQ(sightings.size(), expected.size());
  for (std::size_t i = 0; i < sightings.size(); ++i) {
    SCOPED_TRACE("command " + std::to_string(i));
    // Flashing shown and repainted before the command went out.
    EXPECT_EQ(sightings[i].lastCall, Now(StatusMsg::Flashing));
    EXPECT_FALSE(sightings[i].flashEnabled);
    EXPECT_FALSE(sightings[i].powerOffOffered);
  }

  EXPECT_EQ(rig.drive.ReadFlash(0x5000, PART1_UPLOADED), Slice(rig.container, PART1_AT, PART1_UPLOADED));
  EXPECT_EQ(rig.drive.ReadFlash(0x240000, PART2_UPLOADED), Slice(rig.container, PART2_AT, PART2_UPLOADED));
  EXPECT_EQ(rig.drive.ReadFlash(0, 0x5000), bootBefore);
  EXPECT_FALSE(rig.drive.InFlashMode(0));
  EXPECT_FALSE(rig.drive.InFlashMode(1));
}

INSTANTIATE_TEST_SUITE_P(UnitAttention, FlashSequenceTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reported" : "NotReported"; });

struct Upload {
  uint8_t unit;
  std::ptrdiff_t offset;  // of the data pointer in ContainerImage
  uint32_t length;
  std::optional<emulator::Sha256Digest> digest;
};

TEST(FlashUploadTest, BlocksGoStraightFromTheImageAndCoverEachPartWithoutGapOrOverlap) {
  FlashRig rig;
  ASSERT_TRUE(rig.Run());
  const uint8_t* image = ContainerImage().data();
  const auto blocks = rig.aspi.Submitted();
  const auto sent = rig.Sent();
  ASSERT_EQ(blocks.size(), sent.size());

  std::vector<Upload> uploads;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (sent[i].direction != DataDirection::Out) continue;
    const auto* data = static_cast<const uint8_t*>(blocks[i].SRB_BufPointer);
    uploads.push_back({static_cast<uint8_t>(blocks[i].CDBByte[1] >> 4), data - image, blocks[i].SRB_BufLen,
                       sent[i].sentDigest});
  }
  ASSERT_EQ(uploads.size(), 25u);

  // In order, each block where the one before ended, from the part's first
  // byte to the end of its checksum: the tags behind are never sent.
  std::size_t next[2] = {PART1_AT, PART2_AT};
  for (const Upload& u : uploads) {
    SCOPED_TRACE("unit " + std::to_string(u.unit) + " offset " + std::to_string(u.offset));
    ASSERT_LT(u.unit, 2);
    // A block sent from anywhere but the image (a copy) lies outside it.
    ASSERT_GE(u.offset, 0);
    ASSERT_LE(static_cast<std::size_t>(u.offset) + u.length, rig.container.size());
    EXPECT_EQ(static_cast<std::size_t>(u.offset), next[u.unit]);
    next[u.unit] = static_cast<std::size_t>(u.offset) + u.length;
    // The bytes the drive received are the container's, read from the own file.
    ASSERT_TRUE(u.digest.has_value());
    EXPECT_EQ(*u.digest, emulator::Sha256Of(rig.container.data() + u.offset, u.length));
  }
  EXPECT_EQ(next[0], PART1_AT + PART1_UPLOADED);
  EXPECT_EQ(next[1], PART2_AT + PART2_UPLOADED);

  // The checksum bytes travel as the last two bytes of each stage's last
  // block, and are the ones the checksum command names.
  const ContainerInfo& info = rig.info;
  EXPECT_EQ(rig.container[next[0] - 2], info.part1Checksum[0]);
  EXPECT_EQ(rig.container[next[0] - 1], info.part1Checksum[1]);
  EXPECT_EQ(rig.container[next[1] - 2], info.part2Checksum[0]);
  EXPECT_EQ(rig.container[next[1] - 1], info.part2Checksum[1]);
}

// The texts in either language are the window's; the run's calls are the
// same in both.
struct Ending {
  const char* name;
  uint8_t language;
  uint8_t armedAtStart;
  bool asksToTurnOff;
};

const Ending ENDINGS[] = {
    {"English", LANGUAGE_ENGLISH, 0, true},
    {"Japanese", LANGUAGE_JAPANESE, 0, true},
    {"AlreadyArmed", LANGUAGE_ENGLISH, 255, false},
    {"JapaneseAlreadyArmed", LANGUAGE_JAPANESE, 255, false},
};

void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }

class FlashEndingTest : public ::testing::TestWithParam<Ending> {};

TEST_P(FlashEndingTest, SuccessArmsThePowerOffAndSaysSo) {
  const Ending& e = GetParam();
  FlashRig rig;
  rig.run.language = e.language;
  rig.StartRun(e.armedAtStart);
  ASSERT_TRUE(rig.WaitForEnd());

  EXPECT_EQ(rig.Sent().size(), COMMANDS_IN_RUN);
  EXPECT_EQ(rig.run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(rig.run.powerOffArmed.load(), POWER_OFF_ARMED);
  std::vector<std::string> ending = {Now(StatusMsg::Flashing), Now(StatusMsg::Completed)};
  if (e.asksToTurnOff) ending.push_back(Now(StatusMsg::TurnOff));
  ending.push_back("power off offered");
  const auto calls = rig.view.Calls();
  ASSERT_GE(calls.size(), ending.size());
  EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<std::ptrdiff_t>(ending.size()), calls.end()),
            ending);
  EXPECT_FALSE(rig.view.FlashEnabled());
  // The next tick, not the run, fills the bar and stops the timer.
  EXPECT_THAT(calls, ::testing::Not(::testing::Contains("progress stop")));
}

INSTANTIATE_TEST_SUITE_P(Languages, FlashEndingTest, ::testing::ValuesIn(ENDINGS),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flash_tests
