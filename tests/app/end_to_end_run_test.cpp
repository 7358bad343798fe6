// Whole flash runs clicked through the real window after a real start-up,
// through both back-ends and in both languages: what the operator sees,
// what the power control is asked, and what ends up in the drive's flash.
#include <gmock/gmock.h>

#include <ostream>
#include <sstream>

#include "app/messages.h"
#include "app/toolkit/text.h"
#include "tests/support/window/program_rig.h"
#include "tests/support/window/event_wait.h"

namespace app_tests {

using namespace rig;
namespace {

using ::testing::ElementsAre;

constexpr std::size_t PART1_UPLOADED = 0x7B000;  // data and checksum
constexpr std::size_t PART2_UPLOADED = 0x20000;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t length) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(from + length)};
}

struct RunCase {
  uint32_t platformId;
  bool japanese;
};

std::ostream& operator<<(std::ostream& out, const RunCase& c) {
  return out << (c.platformId == 2 ? "Nt" : "Win9x") << (c.japanese ? "Japanese" : "English");
}

class WholeRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(WholeRunTest, FlashesTheDriveFillsTheBarAndPowersOff) {
  const RunCase c = GetParam();
  const bool library = c.platformId == platform::VER_PLATFORM_WIN32_WINDOWS;
  ProgramRig rig(RigOptions{.platformId = c.platformId});
  container_test::ScratchDir dumps;
  if (library)
    rig.UseLibrary("adapters=1;drives=1;status=1;dump=" + dumps.File(""));
  else
    rig.AddDrive();
  if (c.japanese) rig.system.langId = platform::LANG_ID_JAPANESE;
  TForm1& form = rig.Start();
  Program& program = rig.program();
  form.Show();
  ASSERT_EQ(program.status.StatusCode(), StatusMsg{12});
  ASSERT_TRUE(form.Button1.Enabled());

  form.Button1.Click();
  EXPECT_FALSE(form.ComboBox1.Enabled());
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit"));
  ASSERT_TRUE(rig.WaitForDisplayEnd());
  ASSERT_TRUE(testing_support::ProcessEventsUntil([&] { return form.ComboBox1.Enabled(); }));

  EXPECT_EQ(program.run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(program.run.powerOffArmed.load(), POWER_OFF_ARMED);
  EXPECT_EQ(form.ProgressBar1.Position(), 70);
  EXPECT_EQ(form.Edit4.Text(), std::to_string(program.run.progressCounter));
  EXPECT_EQ(program.status.StatusCode(), StatusMsg{8});
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(8, c.japanese));
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_TRUE(form.Button2.Enabled());
  EXPECT_EQ(form.Button2.Caption(), c.japanese ? tk::Cp932(u8"電源オフ") : "Power Off");
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release"));

  form.Button2.Click();
  EXPECT_FALSE(form.Shown());
  if (c.platformId == platform::VER_PLATFORM_WIN32_NT)
    EXPECT_THAT(rig.power.Calls(),
                ElementsAre("inhibit", "release", "privilege on", "exit 1", "privilege off"));
  else
    EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release", "exit 1"));

  // The library writes its drive's flash out when it is unloaded, on the close.
  const std::vector<uint8_t> unit0 =
      library ? container_test::ReadBytes(dumps.File("unit0.bin")) : rig.drive(0).ReadFlash(0, 0x80000);
  const std::vector<uint8_t> unit1 = library ? container_test::ReadBytes(dumps.File("unit1.bin"))
                                             : rig.drive(0).ReadFlash(0x240000, 0x20000);
  ASSERT_EQ(unit0.size(), 0x80000u);
  ASSERT_EQ(unit1.size(), 0x20000u);
  EXPECT_EQ(Slice(unit0, 0x5000, PART1_UPLOADED), Slice(rig.container, PART1_DATA_OFFSET, PART1_UPLOADED));
  EXPECT_EQ(unit1, Slice(rig.container, PART2_DATA_OFFSET, PART2_UPLOADED));
  EXPECT_EQ(Slice(unit0, 0x4500, 4), (std::vector<uint8_t>{'R', '5', '8', '0'}));
}

INSTANTIATE_TEST_SUITE_P(BackEndsAndLanguages, WholeRunTest,
                         ::testing::Values(RunCase{2, false}, RunCase{2, true}, RunCase{1, false},
                                           RunCase{1, true}),
                         [](const auto& info) {
                           std::ostringstream name;
                           name << info.param;
                           return name.str();
                         });

TEST(FailedRunTest, FreezesTheBarReleasesTheInhibitorAndLeavesOnlyExit) {
  ProgramRig rig;
  rig.AddDrive();
  TForm1& form = rig.Start();
  Program& program = rig.program();
  form.Show();
  rig.injector(0).AddRule(emulator::FaultRule::Fail(emulator::CommandKind::Program, 3, 0x05));

  form.Button1.Click();
  ASSERT_TRUE(rig.WaitForDisplayEnd());
  ASSERT_TRUE(testing_support::ProcessEventsUntil([&] { return form.ComboBox1.Enabled(); }));
  EXPECT_EQ(program.run.completion.load(), COMPLETION_FAILURE);
  EXPECT_EQ(form.RichEdit1.Text(), "Flashing Error");
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release"));
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_FALSE(form.Button2.Enabled());

  // Frozen: no tick moves the bar any more.
  const int frozen = form.ProgressBar1.Position();
  EXPECT_LE(frozen, 66);
  testing_support::ProcessEventsUntil([] { return false; }, 1500);
  EXPECT_EQ(form.ProgressBar1.Position(), frozen);
  EXPECT_FALSE(form.Timer1.Enabled());

  form.Exit1.Trigger();
  EXPECT_FALSE(form.Shown());
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release"));
}

TEST(RunWithoutOwnFileTest, EndsWithoutAResultAndTheBarHoldsOn) {
  ProgramRig rig;
  rig.AddDrive();
  TForm1& form = rig.Start();
  Program& program = rig.program();
  form.Show();
  rig.SetOwnFile(OwnFile::Missing);  // gone between start-up and the click

  form.Button1.Click();
  ASSERT_TRUE(rig.WaitForRunEnd());
  ASSERT_TRUE(testing_support::ProcessEventsUntil([&] { return form.ComboBox1.Enabled(); }));
  EXPECT_EQ(program.run.completion.load(), COMPLETION_NONE);
  EXPECT_EQ(form.RichEdit1.Text(), "Cannot open the file.");
  EXPECT_EQ(form.Label13.Caption(), rig.ownPath);
  EXPECT_THAT(rig.power.Calls(), ElementsAre("inhibit", "release"));
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(rig.injector(0).Arrived(emulator::CommandKind::FlashOn), 0u);
  // Nothing is sending any more, so the window may go.
  form.Exit1.Trigger();
  EXPECT_FALSE(form.Shown());
}

TEST(NoInhibitorTest, RunGoesOnWithoutTheLock) {
  ProgramRig rig;
  rig.AddDrive();
  NoInhibitPower power;
  rig.UsePower(power);
  TForm1& form = rig.Start();
  form.Button1.Click();
  ASSERT_TRUE(rig.WaitForDisplayEnd());
  EXPECT_EQ(rig.program().run.completion.load(), COMPLETION_SUCCESS);
  EXPECT_EQ(form.ProgressBar1.Position(), 70);
}

}  // namespace
}  // namespace app_tests
