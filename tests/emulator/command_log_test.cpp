#include "emulator/command_log.h"

#include <gtest/gtest.h>


#include "emulator/logging_device.h"
#include "emulator/virtual_drive.h"
#include "tests/emulator/drive_script.h"
#include "tests/support/test_thread.h"

namespace {

using namespace drive_script;
using emulator::CommandLog;
using emulator::DataDirection;
using emulator::FormatCommandLogLine;
using emulator::LoggingDevice;
using emulator::VirtualDrive;

TEST(CommandLogTest, LinesCarryAdapterCdbDirectionLengthAndDigestOfDataSent) {
  VirtualDrive drive0, drive1;
  CommandLog log;
  LoggingDevice tap0(drive0, log, 0), tap1(drive1, log, 3);
  DriveScript script0(tap0), script1(tap1);

  ASSERT_TRUE(Good(script1.FlashOn(0)));
  const std::vector<uint8_t> zeros(4096, 0);
  script1.Upload(0, 0x5000, zeros.data(), 1);
  uint8_t reply[2048];
  ASSERT_TRUE(Good(script0.Read(0x4500, 32, reply)));

  const auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(FormatCommandLogLine(entries[0]), "ha=3 cdb=cc0101005732373400000000 dir=none len=0 sha256=-");
  EXPECT_EQ(FormatCommandLogLine(entries[1]),
            "ha=3 cdb=cb0100005000000001000000 dir=out len=4096 "
            "sha256=ad7facb2586fc6e966c004d7d1d16b024f5805ff7cb47c7a85dabd8b48892ca7");
  EXPECT_EQ(FormatCommandLogLine(entries[2]), "ha=0 cdb=cc0000004500000020000000 dir=in len=2048 sha256=-");
}

TEST(CommandLogTest, TheCdbIsLoggedWithItsOwnLength) {
  VirtualDrive drive;
  CommandLog log;
  LoggingDevice tap(drive, log, 12);
  uint8_t reply[36];
  DriveScript(tap).Inquiry(36, reply, 36);
  ASSERT_EQ(log.Size(), 1u);
  EXPECT_EQ(FormatCommandLogLine(log.Entries()[0]), "ha=12 cdb=120000002400 dir=in len=36 sha256=-");
}

TEST(CommandLogTest, TheTapPassesTheDrivesAnswerOnUnchanged) {
  VirtualDrive drive;
  CommandLog log;
  LoggingDevice tap(drive, log, 0);
  const Answer answer = DriveScript(tap).FlashOn(0, {'x', 'x', 'x', 'x'});
  EXPECT_EQ(answer.reply.status, emulator::SCSI_CHECK_CONDITION);
  EXPECT_EQ(SenseByte2(answer), 0x05);
}

// A log that keeps its entries, and one that only streams them (the demo's).
class CommandLogKeeping : public ::testing::TestWithParam<bool> {};

TEST_P(CommandLogKeeping, ListenerSeesEveryEntryInLogOrderFromSeveralThreads) {
  VirtualDrive drive0, drive1;
  CommandLog log(GetParam());
  std::vector<std::string> heard;
  log.SetListener(
      [&](const emulator::CommandLogEntry& entry) { heard.push_back(FormatCommandLogLine(entry)); });
  LoggingDevice tap0(drive0, log, 0), tap1(drive1, log, 1);
  auto talk = [](emulator::ScsiDevice& device) {
    DriveScript script(device);
    uint8_t reply[36];
    for (int i = 0; i < 200; ++i) script.Inquiry(36, reply, 36);
  };
  zx_test::TestThread a(talk, std::ref(tap0)), b(talk, std::ref(tap1));
  a.join();
  b.join();
  ASSERT_EQ(heard.size(), 400u);
  const auto entries = log.Entries();
  if (!GetParam()) {
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(log.Size(), 0u);
    return;
  }
  ASSERT_EQ(entries.size(), 400u);
  for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(heard[i], FormatCommandLogLine(entries[i]));
}

INSTANTIATE_TEST_SUITE_P(Logs, CommandLogKeeping, ::testing::Values(true, false));

}  // namespace
