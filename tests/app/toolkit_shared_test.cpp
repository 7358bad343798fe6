// What the toolkit keeps for both back-ends: the menus' places among hidden
// items (the Win32 menu puts a shown item back by them), and the operator's
// click on a radio button reaching the shared check.
#include <gmock/gmock.h>

#include <QTest>
#include <QWidget>

#include "app/toolkit/controls.h"
#include "app/toolkit/form.h"
#include "app/toolkit/menu_book.h"
#include "app/toolkit/qt/form_window.h"
#include "app/toolkit/qt/qt_native.h"

namespace {

TEST(MenuBookTest, HiddenItemsGiveUpTheirPlaceAndTakeItBackWhenShown) {
  tk::Form form{200, 100};
  tk::MenuItem file = form.AddMenu("File");
  tk::MenuItem a = form.AddPopupItem("a"), b = form.AddPopupItem("b"), c = form.AddPopupItem("c");
  tk::MenuItem exit = form.AddMenuItem(file, "Exit");
  const tk::MenuBook& book = form.Window().Menus();
  EXPECT_EQ(book.PositionOf(*c.Native()), 2);
  EXPECT_EQ(book.PositionOf(*exit.Native()), 0);  // other menus do not count
  b.SetVisible(false);
  EXPECT_EQ(book.PositionOf(*c.Native()), 1);
  a.SetVisible(false);
  c.SetVisible(false);
  EXPECT_FALSE(book.AnyVisibleIn(c.Native()->owner));
  b.SetVisible(true);
  EXPECT_TRUE(book.AnyVisibleIn(c.Native()->owner));
  EXPECT_EQ(book.PositionOf(*b.Native()), 0);
  // A menu of the menu bar is no command of its own.
  EXPECT_EQ(book.ById(file.Native()->id), nullptr);
  EXPECT_EQ(book.ById(exit.Native()->id), exit.Native());
  EXPECT_EQ(book.ById(-1), nullptr);
}

TEST(SharedRadioTest, OperatorMouseClicksCheckALoneButtonOnceAndKeepItChecked) {
  QWidget host;
  tk::RadioButton radio(tk::AsNative(&host), {0, 0, 100, 17}, "r");
  int clicks = 0;
  radio.OnClick([&] { ++clicks; });
  const QPoint indicator(6, 8);  // the middle of a wide button misses its text
  for (int click = 0; click < 2; ++click) {
    QTest::mouseClick(tk::QtWidget(radio), Qt::LeftButton, {}, indicator);
    EXPECT_EQ(clicks, 1) << "after click " << click;
    EXPECT_TRUE(radio.Checked()) << "after click " << click;
  }
}

}  // namespace
