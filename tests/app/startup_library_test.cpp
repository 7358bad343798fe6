// The start-up sequence on the library family, over the loadable virtual ASPI
// library: the support-information outcomes and a normal start.
#include <gmock/gmock.h>

#include <ostream>

#include "app/messages.h"
#include "app/startup.h"
#include "app/toolkit/text.h"
#include "tests/support/window/program_rig.h"

namespace app_tests {

using namespace rig;
namespace {

struct RefusedStart {
  const char* name;
  const char* status;  // the library's support status byte
  const char8_t* box;
};

std::ostream& operator<<(std::ostream& out, const RefusedStart& row) { return out << row.name; }

class RefusedStartTest : public ::testing::TestWithParam<RefusedStart> {};

TEST_P(RefusedStartTest, ShowsItsBoxUnloadsAndNeverShowsTheWindow) {
  const RefusedStart& row = GetParam();
  ProgramRig rig(RigOptions{.platformId = platform::VER_PLATFORM_WIN32_WINDOWS});
  rig.UseLibrary(std::string("adapters=1;drives=1;status=") + row.status);
  TForm1& form = rig.Start();
  Program& program = rig.program();

  const auto boxes = rig.dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, tk::Cp932(row.box));
  EXPECT_FALSE(boxes[0].fatal);
  EXPECT_TRUE(form.closedDuringStartup);
  EXPECT_FALSE(form.Shown());
  // The close ran FormClose, which let the library go.
  EXPECT_EQ(rig.libraries.Loads(), 1);
  EXPECT_EQ(rig.libraries.Freed().size(), 1u);
  EXPECT_EQ(program.aspiLibrary.handle, nullptr);
  EXPECT_EQ(program.channel.aspi.SendASPI32Command.load(), nullptr);
  // No later step ran.
  EXPECT_EQ(form.Label19.Caption(), "Win9x");
  EXPECT_EQ(form.RichEdit1.Text(), "RichEdit1");
  EXPECT_EQ(form.Label1.Caption(), "Label1");
  EXPECT_NE(form.Caption(), WINDOW_CAPTION);
  EXPECT_EQ(form.ComboBox1.ItemCount(), 0);
  EXPECT_EQ(program.status.StatusCode(), StatusMsg{0});
}

INSTANTIATE_TEST_SUITE_P(Statuses, RefusedStartTest,
                         ::testing::Values(RefusedStart{"Pending", "0", u8"ASPI処理中です"},
                                           RefusedStart{"Error", "0xE8", u8"ERRORです"},
                                           RefusedStart{"Aborted", "2", u8"ERRORです"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LibraryStartupTest, CompletedSupportInfoStartsNormally) {
  ProgramRig rig(RigOptions{.platformId = platform::VER_PLATFORM_WIN32_WINDOWS});
  rig.UseLibrary("adapters=3;drives=1;status=1");
  TForm1& form = rig.Start();
  Program& program = rig.program();

  EXPECT_TRUE(rig.dialogs.Boxes().empty());
  EXPECT_FALSE(form.closedDuringStartup);
  EXPECT_EQ(form.Label19.Caption(), "Win9x");
  EXPECT_EQ(program.simulator, nullptr);
  EXPECT_NE(program.aspiLibrary.handle, nullptr);
  EXPECT_EQ(program.run.hostAdapterCount.load(), 3);
  EXPECT_EQ(form.ComboBox1.ItemCount(), 1);
  EXPECT_EQ(program.status.StatusCode(), StatusMsg{12});
  EXPECT_EQ(form.RichEdit1.Text(), "Do you want to change the firmware?");
  EXPECT_TRUE(form.Button1.Enabled());
  EXPECT_EQ(form.Label11.Caption(), "1.0A");
  EXPECT_EQ(form.OuterHeight(), 240);
  EXPECT_TRUE(rig.layer.OpenAttempts().empty());
}

TEST(LibraryStartupTest, NoAdapterMeansNoDrive) {
  ProgramRig rig(RigOptions{.platformId = platform::VER_PLATFORM_WIN32_WINDOWS});
  rig.UseLibrary("adapters=0;drives=0;status=1");
  TForm1& form = rig.Start();
  EXPECT_EQ(rig.program().status.StatusCode(), StatusMsg::NoDrive);
  EXPECT_FALSE(form.Button1.Enabled());
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

}  // namespace
}  // namespace app_tests
