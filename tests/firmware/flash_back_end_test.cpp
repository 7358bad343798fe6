// Whole successful runs through the two real back-ends, on the system's own
// events and threads (the Win32 ones on Windows): the pass-through simulator
// over the virtual device layer, and the loadable virtual ASPI library
// loaded through the system's loader. Each must carry exactly the commands
// of a run, in order, to the drive and leave it flashed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "tests/firmware/flash_expected.h"
#include "tests/firmware/flash_rig.h"
#include "tests/support/test_os.h"
#include "transport/aspi_library.h"

#ifndef ZX_ASPI_MODULES_DIR
#error "ZX_ASPI_MODULES_DIR must name the folder of the loadable test libraries"
#endif

namespace flash_tests {
namespace {

namespace fs = std::filesystem;

class SimulatorFlashTest : public ::testing::TestWithParam<bool> {};

TEST_P(SimulatorFlashTest, CarriesEveryCommandOfARunToTheDriveAndLeavesItFlashed) {
  const bool unitAttention = GetParam();
  FlashRig rig(unitAttention, BackEnd::Simulator);
  ASSERT_TRUE(rig.Run());
  EXPECT_EQ(rig.run.completion.load(), COMPLETION_SUCCESS);
  ExpectCommands(rig.Sent(), ExpectedRun(StoredChecksums(rig.container), unitAttention), RIG_DRIVE.haId);
  EXPECT_EQ(rig.drive.ReadFlash(PART1_FLASH_AT, PART1_UPLOADED), Slice(rig.container, PART1_AT, PART1_UPLOADED));
  EXPECT_EQ(rig.drive.ReadFlash(PART2_FLASH_AT, PART2_UPLOADED), Slice(rig.container, PART2_AT, PART2_UPLOADED));
}

INSTANTIATE_TEST_SUITE_P(UnitAttention, SimulatorFlashTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reported" : "NotReported"; });

// The library's command log, one "ha=<n> cdb=<hex> dir=<d> len=<n> sha256=<x>" line per command.
std::vector<emulator::CommandLogEntry> ReadCommandLog(const std::string& path) {
  std::vector<emulator::CommandLogEntry> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string ha, cdb, dir, len;
    fields >> ha >> cdb >> dir >> len;
    emulator::CommandLogEntry entry;
    entry.adapter = static_cast<uint32_t>(std::stoul(ha.substr(3)));
    for (std::size_t i = 4; i + 1 < cdb.size(); i += 2)
      entry.cdb.push_back(static_cast<uint8_t>(std::stoul(cdb.substr(i, 2), nullptr, 16)));
    entry.direction = dir == "dir=in"    ? emulator::DataDirection::In
                      : dir == "dir=out" ? emulator::DataDirection::Out
                                         : emulator::DataDirection::None;
    entry.length = static_cast<uint32_t>(std::stoul(len.substr(4)));
    entries.push_back(entry);
  }
  return entries;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(LibraryFlashTest, CarriesEveryCommandOfARunToTheLoadedLibrarysDriveAndLeavesItFlashed) {
  FlashRig rig;  // its own drives stay idle: the library brings its drive
  const std::string log = rig.dir.File("commands.log");
  const fs::path dump = rig.dir.File("dump");
  fs::create_directories(dump);
  const auto loader = platform::MakeSystemLibraryLoader(std::string(ZX_ASPI_MODULES_DIR) + "/good");
  platform::LibraryLoader& libraries = *loader;
  // A library that cannot be loaded would end the process quietly (the fatal path).
  platform::LibraryHandle probe = libraries.LoadLibrary(ASPI_LIBRARY_NAME);
  ASSERT_NE(probe, nullptr);
  libraries.FreeLibrary(probe);

  test_os::SetEnv("ZX_VIRTUAL_ASPI", "log=" + log + ";dump=" + dump.string());
  AspiLibrary library{libraries, rig.test.dialogs, rig.channel().aspi};
  LoadAspiLibrary(library);
  test_os::UnsetEnv("ZX_VIRTUAL_ASPI");
  rig.run.selectedHaId = 0;
  rig.run.selectedTarget = 0;
  const bool ended = rig.Run();
  UnloadAspiLibrary(library);  // writes the dump
  ASSERT_TRUE(ended);

  EXPECT_EQ(rig.run.completion.load(), COMPLETION_SUCCESS);
  // The library's drive, like the real one, reports unit attention after its restart.
  ExpectCommands(ReadCommandLog(log), ExpectedRun(StoredChecksums(rig.container), true), 0);
  EXPECT_TRUE(rig.Sent().empty());
  const std::vector<uint8_t> unit0 = ReadFile(dump / "unit0.bin");
  const std::vector<uint8_t> unit1 = ReadFile(dump / "unit1.bin");
  ASSERT_EQ(unit0.size(), 0x80000u);
  ASSERT_EQ(unit1.size(), 0x20000u);
  EXPECT_EQ(Slice(unit0, PART1_FLASH_AT, PART1_UPLOADED), Slice(rig.container, PART1_AT, PART1_UPLOADED));
  EXPECT_EQ(Slice(unit1, 0, PART2_UPLOADED), Slice(rig.container, PART2_AT, PART2_UPLOADED));
}

}  // namespace
}  // namespace flash_tests
