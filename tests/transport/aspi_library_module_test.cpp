// The loadable virtual ASPI library, loaded the way the program loads the
// system's: its support information, execute requests against the virtual
// drive, aborts, vendor commands and unloading with requests outstanding.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "drive/commands.h"
#include "platform/dynamic_library.h"
#include "platform/thread.h"
#include "tests/support/fakes.h"
#include "tests/support/test_os.h"
#include "transport/aspi_library.h"
#include "transport/execute.h"

#ifndef ZX_ASPI_MODULES_DIR
#error "ZX_ASPI_MODULES_DIR must name the folder of the loadable test libraries"
#endif

namespace {

namespace fs = std::filesystem;

constexpr uint8_t INQUIRY = 0x12;

// Loads the good library with the given configuration; unloads at the end.
class VirtualLibrary : public ::testing::Test {
 protected:
  void Load(const std::string& config) {
    test_os::SetEnv("ZX_VIRTUAL_ASPI", config);
    LoadAspiLibrary(library);
    test_os::UnsetEnv("ZX_VIRTUAL_ASPI");
  }
  void TearDown() override { UnloadAspiLibrary(library); }

  uint32_t Send(void* srb) { return channel.aspi.SendASPI32Command.load()(srb); }

  // An INQUIRY block ready to send, with its own event.
  void FillInquiry(SRB_ExecSCSICmd& block, uint8_t ha, uint8_t target, uint8_t* buffer, EventHandle event) {
    std::memset(&block, 0, sizeof block);
    block.SRB_Cmd = SC_EXEC_SCSI_CMD;
    block.SRB_HaId = ha;
    block.SRB_Target = target;
    block.SRB_Flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
    block.SRB_BufLen = 36;
    block.SRB_BufPointer = buffer;
    block.SRB_SenseLen = 16;
    block.SRB_CDBLen = 6;
    block.SRB_PostProc = reinterpret_cast<void*>(event);
    block.CDBByte[0] = INQUIRY;
    block.CDBByte[4] = 36;
  }

  fakes::TestChannel test;
  CommandChannel& channel = *test;
  const std::unique_ptr<platform::LibraryLoader> loader = platform::MakeSystemLibraryLoader(std::string(ZX_ASPI_MODULES_DIR) + "/good");
  platform::LibraryLoader& libraries = *loader;
  AspiLibrary library{libraries, test.dialogs, channel.aspi};
};

struct SupportCase {
  std::string config;
  uint32_t word;
};

void PrintTo(const SupportCase& c, std::ostream* os) { *os << '"' << c.config << '"'; }

class SupportInfo : public VirtualLibrary, public ::testing::WithParamInterface<SupportCase> {};

TEST_P(SupportInfo, FollowsTheConfigurationOfEachLoad) {
  Load(GetParam().config);
  EXPECT_EQ(channel.aspi.GetASPI32SupportInfo.load()(), GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, SupportInfo,
    ::testing::Values(SupportCase{"", 0x0101}, SupportCase{"adapters=3;drives=2", 0x0103},
                      SupportCase{"status=0", 0x0001}, SupportCase{"status=0xE8;adapters=2", 0xE802},
                      SupportCase{"adapters=0;drives=0", 0x0100},
                      // refused configurations: failed initialisation
                      SupportCase{"drives=2;adapters=1", 0xE400}, SupportCase{"speed=9", 0xE400},
                      SupportCase{"revision=1.0", 0xE400}, SupportCase{"fail=upload:0:05", 0xE400}));

TEST_F(VirtualLibrary, InquiryCompletesThroughTheExecuteProtocolWithTheConfiguredRevision) {
  Load("revision=1.0C");
  static SRB_ExecSCSICmd block;
  static std::array<uint8_t, 36> reply;
  ExecRequest inquiry;
  inquiry.flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
  inquiry.bufLen = reply.size();
  inquiry.buffer = reply.data();
  inquiry.cdbLen = 6;
  inquiry.cdb = {INQUIRY, 0, 0, 0, 36, 0};
  const std::size_t openEvents = SystemEvents().OpenCount();
  ASSERT_EQ(ExecuteScsiCommand(channel.aspi, SystemEvents(), block, inquiry, 2000), ExecResult::Completed);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[8]), 8), "ZORVEX  ");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[16]), 16), "DVD-ROM RT-5800B");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[32]), 4), "1.0C");
  EXPECT_EQ(SystemEvents().OpenCount(), openEvents);
}

struct AddressCase {
  uint8_t ha;
  uint8_t target;
  uint8_t lun;
  uint8_t status;  // returned and left in the block
};

void PrintTo(const AddressCase& c, std::ostream* os) {
  *os << "ha " << int(c.ha) << " target " << int(c.target) << " lun " << int(c.lun);
}

class Addressing : public VirtualLibrary, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(Addressing, RequestsWithoutADriveEndAtOnce) {
  Load("adapters=2;drives=1;target=3");
  const AddressCase& c = GetParam();
  static SRB_ExecSCSICmd block;
  static std::array<uint8_t, 36> reply;
  const EventHandle event = SystemEvents().CreateEvent();
  FillInquiry(block, c.ha, c.target, reply.data(), event);
  block.SRB_Lun = c.lun;
  EXPECT_EQ(Send(&block), c.status);
  EXPECT_EQ(block.SRB_Status, c.status);
  EXPECT_EQ(SystemEvents().WaitForSingleObject(event, 200), WaitResult::TimedOut);
  SystemEvents().CloseHandle(event);
}

INSTANTIATE_TEST_SUITE_P(Targets, Addressing,
                         ::testing::Values(AddressCase{0, 0, 0, SS_NO_DEVICE},   // drive sits at target 3
                                           AddressCase{0, 3, 1, SS_NO_DEVICE},   // LUN 1
                                           AddressCase{1, 3, 0, SS_NO_DEVICE},   // adapter without a drive
                                           AddressCase{2, 3, 0, SS_INVALID_HA},  // beyond the adapter count
                                           AddressCase{255, 0, 0, SS_INVALID_HA}));

TEST_F(VirtualLibrary, DriveAtItsTargetAnswersOnItsAdapter) {
  Load("adapters=2;drives=2;target=3");
  for (uint8_t ha = 0; ha < 2; ++ha) {
    static SRB_ExecSCSICmd block;
    static std::array<uint8_t, 36> reply;
    const EventHandle event = SystemEvents().CreateEvent();
    FillInquiry(block, ha, 3, reply.data(), event);
    EXPECT_EQ(Send(&block), SS_PENDING);
    EXPECT_EQ(SystemEvents().WaitForSingleObject(event, 2000), WaitResult::Signalled);
    EXPECT_EQ(block.SRB_Status, SS_COMP);
    SystemEvents().CloseHandle(event);
  }
}

class NotificationFlags : public VirtualLibrary, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(NotificationFlags, ExecuteWithoutExactlyOneNotificationIsInvalid) {
  Load("");
  static SRB_ExecSCSICmd block;
  static std::array<uint8_t, 36> reply;
  const EventHandle event = SystemEvents().CreateEvent();
  FillInquiry(block, 0, 0, reply.data(), event);
  block.SRB_Flags = GetParam();
  EXPECT_EQ(Send(&block), SS_INVALID_SRB);
  EXPECT_EQ(block.SRB_Status, SS_INVALID_SRB);
  EXPECT_EQ(SystemEvents().WaitForSingleObject(event, 200), WaitResult::TimedOut);
  SystemEvents().CloseHandle(event);
}

INSTANTIATE_TEST_SUITE_P(Flags, NotificationFlags,
                         ::testing::Values(uint8_t{SRB_DIR_IN},
                                           uint8_t{SRB_DIR_IN | SRB_EVENT_NOTIFY | SRB_POSTING}));

TEST_F(VirtualLibrary, HostAdapterInquiryDescribesTheAdapter) {
  Load("adapters=2;drives=1");
  SRB_HAInquiry inquiry{};
  inquiry.SRB_Cmd = SC_HA_INQUIRY;
  inquiry.SRB_HaId = 1;
  std::memset(inquiry.HA_Identifier, 0x55, sizeof inquiry.HA_Identifier);
  EXPECT_EQ(Send(&inquiry), SS_COMP);
  EXPECT_EQ(inquiry.SRB_Status, SS_COMP);
  EXPECT_EQ(inquiry.HA_Count, 2);
  EXPECT_EQ(inquiry.HA_SCSI_ID, 7);
  EXPECT_EQ(inquiry.HA_Unique[3], 8);  // targets
  EXPECT_EQ(inquiry.HA_Identifier[sizeof inquiry.HA_Identifier - 1], 0);
  EXPECT_NE(inquiry.HA_Identifier[0], 0);
  inquiry.SRB_HaId = 2;
  EXPECT_EQ(Send(&inquiry), SS_INVALID_HA);
}

TEST_F(VirtualLibrary, UnknownCommandCodesAreInvalid) {
  Load("");
  for (uint8_t code : {uint8_t{0x05}, uint8_t{0x06}, uint8_t{0x09}, uint8_t{0xFF}}) {
    SRB_Header header{};
    header.SRB_Cmd = code;
    EXPECT_EQ(Send(&header), SS_INVALID_SRB) << int(code);
    EXPECT_EQ(header.SRB_Status, SS_INVALID_SRB);
  }
}

// With a slow drive, an aborted request is never completed nor written: not
// while it is being carried out, and not while it waits behind another.
TEST_F(VirtualLibrary, AbortedRequestsAreNeverTouchedAgain) {
  Load("latency=300");
  static SRB_ExecSCSICmd first, second, third;
  static std::array<uint8_t, 36> firstReply, secondReply, thirdReply;
  std::array<uint8_t, 36> untouched;
  untouched.fill(0xEE);
  firstReply = untouched;
  secondReply = untouched;
  EventService& events = SystemEvents();
  const EventHandle e1 = events.CreateEvent(), e2 = events.CreateEvent(), e3 = events.CreateEvent();
  FillInquiry(first, 0, 0, firstReply.data(), e1);
  FillInquiry(second, 0, 0, secondReply.data(), e2);
  FillInquiry(third, 0, 0, thirdReply.data(), e3);
  ASSERT_EQ(Send(&first), SS_PENDING);
  ASSERT_EQ(Send(&second), SS_PENDING);
  ASSERT_EQ(Send(&third), SS_PENDING);

  for (SRB_ExecSCSICmd* target : {&second, &first}) {  // queued, then in progress
    SRB_Abort abort{};
    abort.SRB_Cmd = SC_ABORT_SRB;
    abort.SRB_ToAbort = target;
    EXPECT_EQ(Send(&abort), SS_COMP);
    EXPECT_EQ(abort.SRB_Status, SS_COMP);
  }
  // The request behind them still goes through.
  ASSERT_EQ(events.WaitForSingleObject(e3, 3000), WaitResult::Signalled);
  EXPECT_EQ(third.SRB_Status, SS_COMP);
  platform::SleepMs(400);
  for (auto [block, reply, event] :
       {std::tuple{&first, &firstReply, e1}, std::tuple{&second, &secondReply, e2}}) {
    EXPECT_EQ(block->SRB_Status, SS_PENDING);
    EXPECT_EQ(events.WaitForSingleObject(event, 0), WaitResult::TimedOut);
    EXPECT_EQ(*reply, untouched);
  }
  for (EventHandle e : {e1, e2, e3}) events.CloseHandle(e);
}

TEST_F(VirtualLibrary, AbortOfABlockThatIsNotOutstandingIsInvalid) {
  Load("");
  static SRB_ExecSCSICmd never;
  SRB_Abort abort{};
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_ToAbort = &never;
  EXPECT_EQ(Send(&abort), SS_INVALID_SRB);
  EXPECT_EQ(abort.SRB_Status, SS_INVALID_SRB);
}

// The caller's wait runs out while the drive is slow: the execute protocol
// aborts, and the block reads as not completed.
TEST_F(VirtualLibrary, WaitThatRunsOutCountsAsFailureAndLeavesNothingBehind) {
  Load("latency=400");
  static SRB_ExecSCSICmd block;
  static std::array<uint8_t, 36> reply;
  reply.fill(0xEE);
  ExecRequest inquiry;
  inquiry.flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
  inquiry.bufLen = reply.size();
  inquiry.buffer = reply.data();
  inquiry.cdbLen = 6;
  inquiry.cdb = {INQUIRY, 0, 0, 0, 36, 0};
  EXPECT_EQ(ExecuteScsiCommand(channel.aspi, SystemEvents(), block, inquiry, 50), ExecResult::NotCompleted);
  EXPECT_EQ(block.SRB_Status, SS_PENDING);
  platform::SleepMs(600);
  EXPECT_EQ(block.SRB_Status, SS_PENDING);
  EXPECT_EQ(reply[0], 0xEE);
}

TEST_F(VirtualLibrary, UnloadingFailsAndSignalsRequestsStillOutstanding) {
  // Commands that would take a minute: the unload must not wait for them.
  Load("latency=60000");
  static SRB_ExecSCSICmd first, second;
  static std::array<uint8_t, 36> firstReply, secondReply;
  EventService& events = SystemEvents();
  const EventHandle e1 = events.CreateEvent(), e2 = events.CreateEvent();
  FillInquiry(first, 0, 0, firstReply.data(), e1);
  FillInquiry(second, 0, 0, secondReply.data(), e2);
  ASSERT_EQ(Send(&first), SS_PENDING);
  ASSERT_EQ(Send(&second), SS_PENDING);
  const auto start = std::chrono::steady_clock::now();
  UnloadAspiLibrary(library);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  for (auto [block, event] : {std::pair{&first, e1}, std::pair{&second, e2}}) {
    EXPECT_EQ(events.WaitForSingleObject(event, 0), WaitResult::Signalled);
    EXPECT_EQ(block->SRB_Status, SS_ABORTED);
    events.CloseHandle(event);
  }
}

TEST_F(VirtualLibrary, VendorCommandsReachTheVirtualDrive) {
  Load("drives=1");
  static std::array<uint8_t, 32> family;
  family.fill(0);
  ASSERT_EQ(ReadDriveMemory(channel, 0x4500, family.size(), 0, 0, family.data()), COMMAND_COMPLETED);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(family.data()), 4), "R580");
  const std::array<uint8_t, 4> code = {'W', '2', '7', '4'};
  EXPECT_EQ(FlashModeOn(channel, DriveAddress{0, 0}, code, 0), COMMAND_COMPLETED);
  EXPECT_EQ(FlashModeOff(channel, DriveAddress{0, 0}, code, 0), COMMAND_COMPLETED);
}

TEST_F(VirtualLibrary, DriveFailureComesBackAsFailureWithItsSenseKey) {
  Load("fail=flash-on:1:05");
  const std::array<uint8_t, 4> code = {'W', '2', '7', '4'};
  EXPECT_EQ(FlashModeOn(channel, DriveAddress{0, 0}, code, 0), COMMAND_NOT_COMPLETED);
  EXPECT_EQ(channel.lastSenseKey.load(), 0x05);
  EXPECT_EQ(FlashModeOn(channel, DriveAddress{0, 0}, code, 0), COMMAND_COMPLETED);
}

TEST_F(VirtualLibrary, CommandLogAndFlashDumpAreWritten) {
  const fs::path dir = fs::temp_directory_path() / ("zx-aspi-" + std::to_string(test_os::ProcessId()));
  fs::create_directories(dir);
  const fs::path log = dir / "commands.log";
  Load("log=" + log.string() + ";dump=" + dir.string());
  static std::array<uint8_t, 32> family;
  ASSERT_EQ(ReadDriveMemory(channel, 0x4500, family.size(), 0, 0, family.data()), COMMAND_COMPLETED);
  UnloadAspiLibrary(library);

  std::ifstream in(log);
  std::string line, extra;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line.rfind("ha=0 cdb=cc", 0), 0u) << line;
  EXPECT_NE(line.find(" dir=in len=" + std::to_string(READ_REPLY_BYTES) + " sha256=-"), std::string::npos)
      << line;
  EXPECT_FALSE(std::getline(in, extra)) << extra;
  in.close();  // Windows removes no open file
  EXPECT_EQ(fs::file_size(dir / "unit0.bin"), 0x80000u);
  EXPECT_EQ(fs::file_size(dir / "unit1.bin"), 0x20000u);
  fs::remove_all(dir);
}

}  // namespace
