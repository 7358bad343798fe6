// The controls' contract: events raised by the operator and by the program,
// on whichever back-end the build takes.
#include "app/toolkit/controls.h"

#include <gmock/gmock.h>

#include <vector>

#include "app/toolkit/form.h"

namespace {

class ToolkitControls : public ::testing::Test {
 protected:
  tk::Form form{400, 377};
  tk::NativeControl* host = form.Client();
};

TEST_F(ToolkitControls, CheckingUncheckedRadioButtonRunsItsHandlerOnceBeforeReturning) {
  tk::RadioButton first(host, {0, 0, 100, 17}, "first");
  tk::RadioButton second(host, {0, 20, 100, 17}, "second");
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

TEST_F(ToolkitControls, OperatorClickOnRadioButtonRunsHandlerOnlyWhenItBecomesChecked) {
  tk::RadioButton radio(host, {0, 0, 100, 17}, "r");
  int clicks = 0;
  radio.OnClick([&] { ++clicks; });
  radio.Click();
  radio.Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(radio.Checked());
}

TEST_F(ToolkitControls, DisabledButtonRaisesNoClick) {
  tk::Button button(host, {0, 0, 60, 25}, "b");
  int clicks = 0;
  button.OnClick([&] { ++clicks; });
  button.Click();
  EXPECT_EQ(clicks, 1);

  button.SetEnabled(false);
  button.Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button.Enabled());
}

class ToolkitComboBox : public ToolkitControls {
 protected:
  void SetUp() override {
    combo.AddItem("first");
    combo.AddItem("second");
    combo.OnChange([this] { seenIndexes.push_back(combo.ItemIndex()); });
  }
  tk::ComboBox combo{host, {0, 0, 200, 20}};
  std::vector<int> seenIndexes;
};

TEST_F(ToolkitComboBox, AddedItemsLeaveNoCurrentItem) {
  EXPECT_EQ(combo.ItemCount(), 2);
  EXPECT_EQ(combo.Item(1), "second");
  EXPECT_EQ(combo.ItemIndex(), -1);
}

TEST_F(ToolkitComboBox, SettingCurrentItemRaisesNoChange) {
  combo.SetItemIndex(1);
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.Text(), "second");
  EXPECT_TRUE(seenIndexes.empty());
}

TEST_F(ToolkitComboBox, OperatorPickRaisesChangeWithPickedItemCurrent) {
  combo.SetItemIndex(0);
  combo.Pick(1);
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(1));
  EXPECT_EQ(combo.Text(), "second");
}

TEST_F(ToolkitComboBox, OperatorEditRaisesChangeWithNoCurrentItem) {
  combo.SetItemIndex(1);
  combo.TypeText("x");
  EXPECT_THAT(seenIndexes, ::testing::ElementsAre(-1));
  EXPECT_EQ(combo.Text(), "x");
  EXPECT_EQ(combo.ItemIndex(), -1);

  combo.SetItemIndex(0);  // a current item again
  EXPECT_EQ(combo.ItemIndex(), 0);
}

TEST_F(ToolkitComboBox, DisabledBoxIgnoresOperator) {
  combo.SetEnabled(false);
  combo.Pick(0);
  combo.TypeText("x");
  EXPECT_TRUE(seenIndexes.empty());
}

TEST_F(ToolkitControls, LabelTakesTheSizeOfItsText) {
  tk::Label label(host, 16, 8, "ab");
  const int shortWidth = label.GetBounds().width;
  label.SetCaption("a much longer caption");
  const tk::Bounds b = label.GetBounds();
  EXPECT_EQ(b.left, 16);
  EXPECT_EQ(b.top, 8);
  EXPECT_GT(b.width, shortWidth);
  EXPECT_EQ(label.Caption(), "a much longer caption");
}

TEST_F(ToolkitControls, RichEditLineFeedStartsNewParagraph) {
  tk::RichEdit edit(host, {0, 0, 193, 61}, "RichEdit1");
  EXPECT_EQ(edit.ParagraphCount(), 1);
  edit.SetText("one\ntwo");
  EXPECT_EQ(edit.ParagraphCount(), 2);
  EXPECT_EQ(edit.Text(), "one\ntwo");
}

TEST_F(ToolkitControls, ProgressPositionStaysWithinRange) {
  tk::ProgressBar bar(host, {0, 0, 100, 17}, 0, 100);
  bar.SetPosition(90);
  bar.SetMax(70);  // below the position: clamped, not reset
  EXPECT_EQ(bar.Max(), 70);
  EXPECT_EQ(bar.Position(), 70);
  bar.SetPosition(200);
  EXPECT_EQ(bar.Position(), 70);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.Position(), 0);
}

}  // namespace
