// Hostile own files: random bytes of every kind of length, paths that exist
// but cannot be read (a socket, a FIFO, a file without permissions), and a
// file that changes between start-up and the flash run. Nothing may crash or
// hang, and each gets the message the operator is promised.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <random>

#include "firmware/status_message.h"
#include "app/messages.h"
#include "app/toolkit/text.h"
#include "firmware/container.h"
#include "firmware/container_format.h"
#include "tests/reliability/fault_plan.h"
#include "tests/reliability/unusual_files.h"
#include "tests/support/window/test_program.h"
#include "app/toolkit/qt/qt_text.h"

namespace reliability {

using namespace rig;
using fakes::CommandTap;
using fakes::TappedCommand;
namespace {

using container_test::ReadBytes;
using container_test::ScratchDir;
using container_test::WriteBytes;

constexpr StatusMsg STATUS_EARLIER = StatusMsg::SelectDrive;
constexpr const char* UNTOUCHED = "untouched";
constexpr std::size_t TAG_FROM_END = 131080;
constexpr std::size_t CHECKSUM_FROM_END = 131082;
constexpr std::size_t RANDOM_FILES = 48;

// What a label shows for bytes taken as text: up to the first zero, through
// the window's code page.
std::string Shown(const uint8_t* bytes, std::size_t size) {
  std::size_t n = 0;
  while (n < size && bytes[n] != 0) ++n;
  return tk::ToCp932(tk::FromCp932(std::string_view(reinterpret_cast<const char*>(bytes), n)));
}

std::vector<uint8_t> RandomBytes(std::mt19937& random, std::size_t size) {
  std::vector<uint8_t> bytes(size);
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(random));
  return bytes;
}

// Lengths around a container's, and anything from empty to twice as long.
std::size_t RandomLength(std::mt19937& random) {
  std::uniform_int_distribution<int> pick(0, 3);
  switch (pick(random)) {
    case 0:
      return std::uniform_int_distribution<std::size_t>(0, CONTAINER_SIZE - 1)(random);
    case 1:
      return std::uniform_int_distribution<std::size_t>(CONTAINER_SIZE - 8, CONTAINER_SIZE + 8)(random);
    default:
      return std::uniform_int_distribution<std::size_t>(CONTAINER_SIZE, 2 * CONTAINER_SIZE)(random);
  }
}

// Random bytes that carry the family tag and an accepted version character
// half of the time each, so that every verdict comes up.
std::vector<uint8_t> RandomOwnFile(std::mt19937& random) {
  std::vector<uint8_t> bytes = RandomBytes(random, RandomLength(random));
  std::bernoulli_distribution half(0.5);
  if (bytes.size() >= TAG_FROM_END && half(random))
    std::copy_n("R580", 4, bytes.end() - static_cast<std::ptrdiff_t>(TAG_FROM_END));
  if (bytes.size() >= CONTAINER_SIZE && half(random)) bytes[bytes.size() - CONTAINER_SIZE + 2] = '0';
  return bytes;
}

TEST(HostileOwnFile, RandomContentsGetTheVerdictOfTheirTagAndVersion) {
  std::mt19937 random(20240611);
  ScratchDir dir;
  const std::string path = dir.File("zorvex-flash");
  int accepted = 0;
  for (std::size_t i = 0; i < RANDOM_FILES; ++i) {
    const std::vector<uint8_t> bytes = RandomOwnFile(random);
    SCOPED_TRACE("file " + std::to_string(i) + " of " + std::to_string(bytes.size()) + " bytes");
    WriteBytes(path, bytes);
    fakes::TestProgram test;
    test.system.ownPath = path;
    TForm1 form(*test, false);
    for (tk::Label* label : {&form.Label12, &form.Label23, &form.Label24}) label->SetCaption(UNTOUCHED);
    form.Button1.SetEnabled(true);
    SetStatus(*test, STATUS_EARLIER);
    CheckContainer(test.system, test->container, test->run, form.view);

    // Part one's checksum and tag are shown whenever they lie in the file.
    const uint8_t* end = bytes.data() + bytes.size();
    const uint8_t* tag = end - TAG_FROM_END;
    if (bytes.size() >= CHECKSUM_FROM_END) {
      char checksum[5];
      std::snprintf(checksum, sizeof checksum, "%02x%02x", end[-CHECKSUM_FROM_END], end[1 - CHECKSUM_FROM_END]);
      EXPECT_EQ(form.Label23.Caption(), checksum);
      EXPECT_EQ(form.Label24.Caption(), Shown(tag, 4));
    } else {
      EXPECT_EQ(form.Label23.Caption(), UNTOUCHED);
    }
    if (bytes.size() < CONTAINER_SIZE) {
      EXPECT_EQ(test->status.StatusCode(), StatusMsg::IncorrectFile);
      EXPECT_EQ(test->run.containerValid.load(), 0);
      EXPECT_FALSE(form.Button1.Enabled());
      continue;
    }
    const uint8_t* version = end - CONTAINER_SIZE + 1;
    const bool accept = std::equal(tag, tag + 4, "R580") && version[1] == '0';
    accepted += accept ? 1 : 0;
    EXPECT_EQ(test->run.containerValid.load(), accept ? 1 : 0);
    EXPECT_EQ(form.Button1.Enabled(), accept);
    EXPECT_EQ(test->status.StatusCode(), accept ? STATUS_EARLIER : StatusMsg::IncorrectFile);
    if (!accept) continue;
    EXPECT_EQ(form.RichEdit1.Text(), "");
    const ContainerInfo& info = test->container;
    EXPECT_EQ(std::string(info.version, 4), std::string({char(version[0]), '.', '0', char(version[2])}));
  }
  EXPECT_GT(accepted, 0) << "the seed never made an acceptable file";
}

// Kinds of path that exist but hold nothing the program can read.
enum class Unreadable { Socket, Fifo, NoPermissions };
const char* Name(Unreadable kind) {
  switch (kind) {
    case Unreadable::Socket:
      return "Socket";
    case Unreadable::Fifo:
      return "Fifo";
    case Unreadable::NoPermissions:
      return "NoPermissions";
  }
  return "?";
}

// Replaces whatever is at `path` by something unreadable of the given kind;
// `made` is false when this system or user cannot make it so.
struct UnreadablePath {
  UnreadablePath(Unreadable kind, const std::string& path) {
    std::filesystem::remove(path);
    switch (kind) {
      case Unreadable::Socket:
        socket = std::make_unique<SocketFile>(path);
        made = socket->Made();
        break;
      case Unreadable::Fifo:
        made = MakeFifo(path);
        break;
      case Unreadable::NoPermissions:
        WriteBytes(path, SyntheticContainer({'1', '0', 'B'}));
        made = MakeUnreadable(path);
        break;
    }
  }
  std::unique_ptr<SocketFile> socket;
  bool made = false;
};

#define SKIP_UNLESS_MADE(unreadable, kind)                                                               \
  if (!(unreadable).made) {                                                                              \
    GTEST_SKIP() << Name(kind) << ": cannot be made here (permissions do not stop a user such as root)"; \
  }

void PrintTo(Unreadable kind, std::ostream* os) { *os << Name(kind); }

class UnreadableOwnFile : public ::testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableOwnFile, AtStartUpSaysCannotOpenAndStillShowsTheDrive) {
  ScratchDir dir;
  const UnreadablePath unreadable(GetParam(), dir.File("own"));
  SKIP_UNLESS_MADE(unreadable, GetParam());
  ProgramRig rig(RigOptions{.drives = 1});
  rig.system.ownPath = dir.File("own");
  TForm1& form = rig.Start();
  EXPECT_EQ(rig.program().status.StatusCode(), StatusMsg::CannotOpen);
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(static_cast<uint8_t>(StatusMsg::CannotOpen), false));
  EXPECT_EQ(rig.program().run.containerValid.load(), 0);
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_EQ(form.Label11.Caption(), "1.0A");
}

// The own file turns unreadable after start-up accepted it: the run sends
// nothing, says so, names the file, and leaves the progress display running.
TEST_P(UnreadableOwnFile, BeforeTheRunEndsItWithoutACommand) {
  ProgramRig rig(RigOptions{.drives = 1});
  TForm1& form = rig.Start();
  ASSERT_TRUE(form.Button1.Enabled());
  const UnreadablePath unreadable(GetParam(), rig.OwnPath());
  SKIP_UNLESS_MADE(unreadable, GetParam());
  const RunOutcome outcome = rig.Run();
  EXPECT_TRUE(outcome.sent.empty());
  EXPECT_EQ(outcome.status, StatusMsg::CannotOpen);
  EXPECT_EQ(outcome.message, StatusText(static_cast<uint8_t>(StatusMsg::CannotOpen), false));
  EXPECT_EQ(outcome.completion, COMPLETION_NONE);
  EXPECT_TRUE(outcome.timerEnabled);
  EXPECT_FALSE(outcome.button1Enabled);
  EXPECT_FALSE(outcome.button2Enabled);
  EXPECT_EQ(form.Label13.Caption(), rig.OwnPath());
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnreadableOwnFile,
                         ::testing::Values(Unreadable::Socket, Unreadable::Fifo, Unreadable::NoPermissions),
                         [](const auto& info) { return std::string(Name(info.param)); });

// The own file still reads, but holds other bytes than start-up checked: the
// run sends them with the checksums kept at start-up, and the drive's
// checksum check of part one refuses them.
enum class Rewrite { RandomSameLength, JunkAppended };

void PrintTo(Rewrite kind, std::ostream* os) {
  *os << (kind == Rewrite::RandomSameLength ? "RandomSameLength" : "JunkAppended");
}

class RewrittenOwnFile : public ::testing::TestWithParam<Rewrite> {};

TEST_P(RewrittenOwnFile, FailsAtTheFirstChecksumCheck) {
  std::mt19937 random(77 + static_cast<int>(GetParam()));
  const std::size_t verify = PositionsOf(emulator::CommandKind::Verify, 0).at(0);
  Expectation expected;
  expected.sent = SoundRunUpTo(verify);
  expected.status = StatusMsg::FlashingError;
  expected.lastSenseKey = 0x0E;
  ProgramRig rig(RigOptions{.drives = 1});
  rig.Start();
  std::vector<uint8_t> bytes = ReadBytes(rig.OwnPath());
  if (GetParam() == Rewrite::RandomSameLength) {
    bytes = RandomBytes(random, bytes.size());
  } else {
    const std::vector<uint8_t> junk = RandomBytes(random, 1000);
    bytes.insert(bytes.end(), junk.begin(), junk.end());
  }
  WriteBytes(rig.OwnPath(), bytes);
  const RunOutcome outcome = rig.Run();
  ExpectOutcome(outcome, rig.program().channel.lastSenseKey.load(), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RewrittenOwnFile,
                         ::testing::Values(Rewrite::RandomSameLength, Rewrite::JunkAppended),
                         [](const auto& info) {
                           return std::string(info.param == Rewrite::RandomSameLength ? "RandomSameLength"
                                                                                      : "JunkAppended");
                         });

}  // namespace
}  // namespace reliability
