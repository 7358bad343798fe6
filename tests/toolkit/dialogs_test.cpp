// The real message boxes and the open dialog, answered from a timer as a
// person would.
#include "app/toolkit/dialogs.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/toolkit/application.h"
#include "app/toolkit/timer.h"
#include "app/toolkit/window_thread.h"
#include "tests/support/test_thread.h"
#include "tests/support/toolkit/toolkit_driver.h"

namespace {

using toolkit_test::TurnEventLoopUntil;

// Looks for something to answer at every tick while a box or dialog runs
// its own loop; answer() says whether it found it.
class Answerer {
 public:
  explicit Answerer(std::function<bool()> answer) {
    timer_.SetInterval(10);
    timer_.OnTimer([this, answer = std::move(answer)] {
      if (answer()) timer_.SetEnabled(false);
    });
    timer_.SetEnabled(true);
  }

 private:
  tk::Timer timer_;
};

struct SeenBox {
  std::optional<std::string> text;
  bool onWindowThread = false;
  const std::atomic<bool>* callerReturned = nullptr;  // watched while the box is open
  bool callerReturnedWhileOpen = false;
};

std::function<bool()> PressOkOnce(SeenBox& seen) {
  return [&seen] {
    const bool callerReturned = seen.callerReturned != nullptr && seen.callerReturned->load();
    seen.text = tk::PressOpenMessageBox();
    if (!seen.text) return false;
    seen.onWindowThread = tk::OnWindowThread();
    seen.callerReturnedWhileOpen = callerReturned;
    return true;
  };
}

class ToolkitDialogs : public ::testing::Test {
 protected:
  void SetUp() override { tk::SetApplicationTitle("Zorvex Firmware Flash Utility"); }
  tk::WindowDialogs dialogs;
};

struct BoxCase {
  const char* name;
  std::function<void(tk::Dialogs&)> show;
  std::string text;
};

class ToolkitMessageBox : public ToolkitDialogs, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(ToolkitMessageBox, ShowsItsTextAndReturnsOncePressed) {
  SeenBox seen;
  Answerer presser(PressOkOnce(seen));
  GetParam().show(dialogs);
  EXPECT_EQ(seen.text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ToolkitMessageBox,
    ::testing::Values(BoxCase{"plain", [](tk::Dialogs& d) { d.ShowMessage("ERROR\x82\xc5\x82\xb7"); },
                              "ERROR\x82\xc5\x82\xb7"},  // "ERRORです"
                      BoxCase{"fatal", [](tk::Dialogs& d) { d.ShowFatalError("wnaspi32.dll", "ASPI32 error"); },
                              "wnaspi32.dll"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolkitDialogs, BoxFromAnotherThreadOpensOnWindowThreadWhileCallerWaits) {
  std::atomic<bool> returned{false};
  SeenBox seen;
  seen.callerReturned = &returned;
  Answerer presser(PressOkOnce(seen));
  zx_test::TestThread worker([&] {
    dialogs.ShowMessage("x");
    returned = true;
  });
  const bool finished = TurnEventLoopUntil([&] { return returned.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(seen.text, "x");
  EXPECT_TRUE(seen.onWindowThread);
  EXPECT_FALSE(seen.callerReturnedWhileOpen);
}

// The open dialog, as described, answered by the operator: cancelled it
// gives no file, with a file chosen that file's path.
class ToolkitOpenDialog : public ToolkitDialogs, public ::testing::WithParamInterface<bool> {};

TEST_P(ToolkitOpenDialog, OffersTheFilterPairsAndGivesTheChosenFileOrNone) {
  const bool choose = GetParam();
  // A name of this case's own: the other case may run beside it (CTest runs
  // cases in parallel) and removes its file at its end.
  const std::string path = ::testing::TempDir() + "toolkit_open_dialog_" + (choose ? "chosen_" : "cancelled_") +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".bin";
  std::ofstream(path, std::ios::binary) << "firmware";
  const std::optional<std::string> answer = choose ? std::optional<std::string>(path) : std::nullopt;
  std::optional<std::vector<std::string>> offered;
  Answerer operatorHand([&] { return (offered = toolkit_test::AnswerOpenDialog(answer)).has_value(); });

  const tk::OpenDialog open("Firmware File (*.bin)|*.bin|All Files (*.*)|*.*");
  EXPECT_EQ(open.Execute(), answer);
  EXPECT_THAT(offered, ::testing::Optional(::testing::ElementsAre("Firmware File (*.bin)", "All Files (*.*)")));
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(CancelledOrChosen, ToolkitOpenDialog, ::testing::Bool());

}  // namespace
