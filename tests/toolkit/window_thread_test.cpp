// The hand-off to the window thread: calls from other threads run there, in
// their order, with results and exceptions carried back.
#include "app/toolkit/window_thread.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/toolkit/controls.h"
#include "app/toolkit/form.h"
#include "tests/support/test_thread.h"
#include "tests/support/toolkit/toolkit_driver.h"

namespace {

using toolkit_test::TurnEventLoopUntil;
using zx_test::TestThread;

class ToolkitWindowThread : public ::testing::Test {
 protected:
  tk::Form form{400, 377};
};

// Blocking and posted hand-overs from one thread land in their order.
TEST_F(ToolkitWindowThread, CallsFromAnotherThreadRunOnWindowThreadInOrder) {
  tk::Button button(form.Client(), {0, 0, 60, 25}, "");
  std::vector<std::string> seen;
  bool allOnWindowThread = true;
  button.OnClick([&] {
    allOnWindowThread = allOnWindowThread && tk::OnWindowThread();
    seen.push_back(button.Caption());
  });
  constexpr int kCalls = 200;
  std::atomic<bool> done{false};
  TestThread worker([&] {
    for (int i = 0; i < kCalls; ++i) {
      button.SetCaption(std::to_string(i));
      tk::PostToWindowThread([&, i] { seen.push_back("posted " + std::to_string(i)); });
      button.Click();
    }
    tk::PostToWindowThread([&] { done = true; });
  });
  const bool finished = TurnEventLoopUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(seen.size(), static_cast<size_t>(2 * kCalls));
  for (int i = 0; i < kCalls; ++i) {
    EXPECT_EQ(seen[static_cast<size_t>(2 * i)], "posted " + std::to_string(i));
    EXPECT_EQ(seen[static_cast<size_t>(2 * i + 1)], std::to_string(i));
  }
  EXPECT_TRUE(allOnWindowThread);
}

TEST_F(ToolkitWindowThread, CallPostedOnTheWindowThreadRunsAtALaterPass) {
  bool ran = false;
  tk::PostToWindowThread([&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(TurnEventLoopUntil([&] { return ran; }));
}

TEST_F(ToolkitWindowThread, ExceptionOnWindowThreadReachesTheCallingThread) {
  std::atomic<bool> done{false};
  std::string caught;
  TestThread worker([&] {
    try {
      tk::RunOnWindowThread([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  const bool finished = TurnEventLoopUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(caught, "refused");
}

TEST_F(ToolkitWindowThread, GetterFromAnotherThreadSeesValueSetThere) {
  tk::Edit edit(form.Client(), {0, 0, 50, 20}, "start");
  std::atomic<bool> done{false};
  std::string readBack;
  TestThread worker([&] {
    edit.SetText("66");
    readBack = edit.Text();
    done = true;
  });
  const bool finished = TurnEventLoopUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(readBack, "66");
  EXPECT_EQ(edit.Text(), "66");
}

// The display went: calls from other threads, queued or new, return (in a child: it stays so).
TEST_F(ToolkitWindowThread, CallsFromAnotherThreadAreSkippedOnceTheWindowIsAbandoned) {
  EXPECT_EXIT(
      {
        std::atomic<int> ran{0};
        TestThread queued([&] { tk::RunOnWindowThread([&] { ++ran; }); });
        tk::AbandonWindow();
        queued.join();
        TestThread later([&] { tk::RunOnWindowThread([&] { ++ran; }); });
        later.join();
        std::_Exit(ran.load() == 0 && tk::WindowAbandoned() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
