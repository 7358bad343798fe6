// Toolkit controls: events raised by the operator and by the program, and
// calls from other threads.
#include "app/toolkit/controls.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/toolkit/window_thread.h"
#include "tests/support/window/event_wait.h"
#include "app/toolkit/qt/qt_native.h"

namespace {

using testing_support::ProcessEventsUntil;

class ControlsTest : public ::testing::Test {
 protected:
  QWidget host;
};

TEST_F(ControlsTest, CheckingUncheckedRadioButtonRunsItsHandlerOnceBeforeReturning) {
  tk::RadioButton first(tk::AsNative(&host), {0, 0, 100, 17}, "first");
  tk::RadioButton second(tk::AsNative(&host), {0, 20, 100, 17}, "second");
  int firstClicks = 0, secondClicks = 0;
  first.OnClick([&] { ++firstClicks; });
  second.OnClick([&] { ++secondClicks; });

  first.SetChecked(true);
  EXPECT_EQ(firstClicks, 1);
  first.SetChecked(true);  // already checked
  EXPECT_EQ(firstClicks, 1);

  second.SetChecked(true);  // unchecks first without running its handler
  EXPECT_EQ(secondClicks, 1);
  EXPECT_FALSE(first.Checked());
  EXPECT_EQ(firstClicks, 1);
}

TEST_F(ControlsTest, OperatorClickOnRadioButtonRunsHandlerOnlyWhenItBecomesChecked) {
  tk::RadioButton radio(tk::AsNative(&host), {0, 0, 100, 17}, "r");
  int clicks = 0;
  radio.OnClick([&] { ++clicks; });
  radio.Click();
  radio.Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(radio.Checked());
}

TEST_F(ControlsTest, DisabledButtonRaisesNoClick) {
  tk::Button button(tk::AsNative(&host), {0, 0, 60, 25}, "b");
  int clicks = 0;
  button.OnClick([&] { ++clicks; });
  button.Click();
  EXPECT_EQ(clicks, 1);

  button.SetEnabled(false);
  button.Click();
  QTest::mouseClick(tk::QtWidget(button), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button.Enabled());
}

TEST_F(ControlsTest, OperatorMouseClickOnButtonRunsHandler) {
  tk::Button button(tk::AsNative(&host), {0, 0, 60, 25}, "b");
  int clicks = 0;
  button.OnClick([&] { ++clicks; });
  QTest::mouseClick(tk::QtWidget(button), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
}

class ComboBoxTest : public ControlsTest {
 protected:
  void SetUp() override {
    combo.AddItem("first");
    combo.AddItem("second");
    combo.OnChange([this] { seenIndexes.push_back(combo.ItemIndex()); });
  }
  tk::ComboBox combo{tk::AsNative(&host), {0, 0, 200, 20}};
  std::vector<int> seenIndexes;
};

TEST_F(ComboBoxTest, AddedItemsLeaveNoCurrentItem) {
  EXPECT_EQ(combo.ItemCount(), 2);
  EXPECT_EQ(combo.Item(1), "second");
  EXPECT_EQ(combo.ItemIndex(), -1);
}

TEST_F(ComboBoxTest, SettingCurrentItemRaisesNoChange) {
  combo.SetItemIndex(1);
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.Text(), "second");
  EXPECT_TRUE(seenIndexes.empty());
}

TEST_F(ComboBoxTest, OperatorPickRaisesChangeWithPickedItemCurrent) {
  combo.SetItemIndex(0);
  combo.Pick(1);
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(1));
}

TEST_F(ComboBoxTest, OperatorKeyboardPickRaisesChange) {
  combo.SetItemIndex(0);
  QTest::keyClick(tk::QtWidget(combo), Qt::Key_Down);
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(1));
}

TEST_F(ComboBoxTest, OperatorEditRaisesChangeWithNoCurrentItem) {
  combo.SetItemIndex(1);
  combo.TypeText("x");
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(-1));
  EXPECT_EQ(combo.Text(), "x");

  // Keystrokes into the edit field count the same.
  QTest::keyClicks(static_cast<QComboBox*>(tk::QtWidget(combo))->lineEdit(), "yz");
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(-1, -1, -1));

  combo.SetItemIndex(0);  // a current item again
  EXPECT_EQ(combo.ItemIndex(), 0);
}

TEST_F(ComboBoxTest, DisabledBoxIgnoresOperator) {
  combo.SetEnabled(false);
  combo.Pick(0);
  combo.TypeText("x");
  EXPECT_TRUE(seenIndexes.empty());
}

TEST_F(ControlsTest, LabelTakesTheSizeOfItsText) {
  tk::Label label(tk::AsNative(&host), 16, 8, "ab");
  const int shortWidth = label.GetBounds().width;
  label.SetCaption("a much longer caption");
  const tk::Bounds b = label.GetBounds();
  EXPECT_EQ(b.left, 16);
  EXPECT_EQ(b.top, 8);
  EXPECT_GT(b.width, shortWidth);
  EXPECT_EQ(b.width, tk::QtWidget(label)->sizeHint().width());
}

TEST_F(ControlsTest, RichEditLineFeedStartsNewParagraph) {
  tk::RichEdit edit(tk::AsNative(&host), {0, 0, 193, 61}, "RichEdit1");
  EXPECT_EQ(edit.ParagraphCount(), 1);
  edit.SetText("one\ntwo");
  EXPECT_EQ(edit.ParagraphCount(), 2);
  EXPECT_EQ(edit.Text(), "one\ntwo");
}

// Counts what ShowNow does to the box: text settings and paints of the
// area that shows the text.
class ShowNowCounter : public QObject {
 public:
  explicit ShowNowCounter(QTextEdit* edit) {
    edit->viewport()->installEventFilter(this);
    QObject::connect(edit, &QTextEdit::textChanged, this, [this] { ++settings; });
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int settings = 0;
  int paints = 0;
};

TEST_F(ControlsTest, ShowNowSetsOnlyANewTextAndPaintsItBeforeReturning) {
  tk::RichEdit edit(tk::AsNative(&host), {0, 0, 193, 61}, "RichEdit1");
  auto* box = static_cast<QTextEdit*>(tk::QtWidget(edit));
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  struct Step {
    const char* what;
    std::function<void()> before;
    const char* shown;
    bool set;
    bool painted;
  };
  const std::vector<Step> steps = {
      {"a new text", [] {}, "Flashing", true, true},
      {"the same text again", [] {}, "Flashing", false, false},
      {"the same text, set but not yet painted", [&] { edit.SetText("Flashing"); }, "Flashing", false, true},
      {"after the operator typed into the box", [&] { QTest::keyClicks(box, "x"); }, "Flashing", true, true},
      {"another text", [] {}, "Completed", true, true},
  };
  for (const Step& step : steps) {
    step.before();
    ShowNowCounter counter(box);
    edit.ShowNow(step.shown);
    EXPECT_EQ(edit.Text(), step.shown) << step.what;
    EXPECT_EQ(counter.settings > 0, step.set) << step.what;
    EXPECT_EQ(counter.paints > 0, step.painted) << step.what;
  }
}

TEST_F(ControlsTest, ProgressPositionStaysWithinRange) {
  tk::ProgressBar bar(tk::AsNative(&host), {0, 0, 100, 17}, 0, 100);
  bar.SetPosition(90);
  bar.SetMax(70);  // below the position: clamped, not reset
  EXPECT_EQ(bar.Max(), 70);
  EXPECT_EQ(bar.Position(), 70);
  bar.SetPosition(200);
  EXPECT_EQ(bar.Position(), 70);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.Position(), 0);
}

// Blocking and posted hand-overs from one thread land in their order.
TEST_F(ControlsTest, CallsFromAnotherThreadRunOnWindowThreadInOrder) {
  tk::Button button(tk::AsNative(&host), {0, 0, 60, 25}, "");
  std::vector<std::string> seen;
  bool allOnWindowThread = true;
  button.OnClick([&] {
    allOnWindowThread = allOnWindowThread && QThread::currentThread() == qApp->thread();
    seen.push_back(button.Caption());
  });
  constexpr int kCalls = 200;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < kCalls; ++i) {
      button.SetCaption(std::to_string(i));
      tk::PostToWindowThread([&, i] { seen.push_back("posted " + std::to_string(i)); });
      button.Click();
    }
    tk::PostToWindowThread([&] { done = true; });
  });
  const bool finished = ProcessEventsUntil([&] { return done.load(); }, 20000);
  worker.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(seen.size(), static_cast<size_t>(2 * kCalls));
  for (int i = 0; i < kCalls; ++i) {
    EXPECT_EQ(seen[static_cast<size_t>(2 * i)], "posted " + std::to_string(i));
    EXPECT_EQ(seen[static_cast<size_t>(2 * i + 1)], std::to_string(i));
  }
  EXPECT_TRUE(allOnWindowThread);
}

TEST_F(ControlsTest, CallPostedOnTheWindowThreadRunsAtALaterPass) {
  bool ran = false;
  tk::PostToWindowThread([&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(ProcessEventsUntil([&] { return ran; }));
}

TEST_F(ControlsTest, ExceptionOnWindowThreadReachesTheCallingThread) {
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      tk::RunOnWindowThread([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  const bool finished = ProcessEventsUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(caught, "refused");
}

TEST_F(ControlsTest, GetterFromAnotherThreadSeesValueSetThere) {
  tk::Edit edit(tk::AsNative(&host), {0, 0, 50, 20}, "start");
  std::atomic<bool> done{false};
  std::string readBack;
  std::thread worker([&] {
    edit.SetText("66");
    readBack = edit.Text();
    done = true;
  });
  const bool finished = ProcessEventsUntil([&] { return done.load(); });
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(readBack, "66");
  EXPECT_EQ(static_cast<QLineEdit*>(tk::QtWidget(edit))->text(), "66");
}

// The display went: calls from other threads, queued or new, return (in a child: it stays so).
TEST_F(ControlsTest, CallsFromAnotherThreadAreSkippedOnceTheWindowIsAbandoned) {
  EXPECT_EXIT(
      {
        std::atomic<int> ran{0};
        std::thread queued([&] { tk::RunOnWindowThread([&] { ++ran; }); });
        tk::AbandonWindow();
        queued.join();
        std::thread later([&] { tk::RunOnWindowThread([&] { ++ran; }); });
        later.join();
        std::_Exit(ran.load() == 0 && tk::WindowAbandoned() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
