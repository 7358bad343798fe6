// Toolkit controls on Qt: what the operator's mouse and keys do, and what
// only Qt's widgets show (the toolkit's contract: tests/toolkit).
#include "app/toolkit/controls.h"

#include <gmock/gmock.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <functional>
#include <vector>

#include "app/toolkit/qt/qt_native.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  QWidget host;
};

TEST_F(ControlsTest, DisabledButtonIgnoresTheMouse) {
  tk::Button button(tk::AsNative(&host), {0, 0, 60, 25}, "b");
  int clicks = 0;
  button.OnClick([&] { ++clicks; });
  button.SetEnabled(false);
  QTest::mouseClick(tk::QtWidget(button), Qt::LeftButton);
  EXPECT_EQ(clicks, 0);
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

TEST_F(ComboBoxTest, OperatorKeyboardPickRaisesChange) {
  combo.SetItemIndex(0);
  QTest::keyClick(tk::QtWidget(combo), Qt::Key_Down);
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(1));
}

// Keystrokes into the edit field count as the operator's edit.
TEST_F(ComboBoxTest, KeystrokesRaiseChangeWithNoCurrentItem) {
  combo.SetItemIndex(1);
  QTest::keyClicks(static_cast<QComboBox*>(tk::QtWidget(combo))->lineEdit(), "yz");
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(-1, -1));
  EXPECT_EQ(combo.ItemIndex(), -1);
}

TEST_F(ControlsTest, LabelTakesTheWidgetsOwnSizeForItsText) {
  tk::Label label(tk::AsNative(&host), 16, 8, "a much longer caption");
  EXPECT_EQ(label.GetBounds().width, tk::QtWidget(label)->sizeHint().width());
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

}  // namespace
