// The toolkit's window on Qt: flags, fixed size, outer height and the font
// (the toolkit's contract: tests/toolkit).
#include "app/toolkit/form.h"

#include <gmock/gmock.h>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QMenuBar>
#include <QExposeEvent>
#include <QScreen>
#include <QWindow>
#include <QTest>

#include "app/toolkit/controls.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/form_window.h"

namespace {

class FormTest : public ::testing::Test {
 protected:
  FormTest() {
    tk::MenuItem file = form.AddMenu("File(&F)");
    form.AddMenuItem(file, "Exit(&X)");
  }
  tk::Form form{400, 377};
};

TEST_F(FormTest, WindowFlagsAllowMinimiseOnlyAndStayOnTop) {
  const Qt::WindowFlags flags = form.Window().windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
}

TEST_F(FormTest, ClientAreaHasDesignedSizeAndWindowIsNotResizable) {
  EXPECT_EQ(tk::QtWidget(form.Client())->size(), QSize(400, 377));
  EXPECT_EQ(form.Window().minimumSize(), form.Window().maximumSize());
  EXPECT_EQ(form.Window().height(), 377 + form.Window().menuBar()->sizeHint().height());
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.Window()));
  EXPECT_EQ(tk::QtWidget(form.Client())->size(), QSize(400, 377));
  EXPECT_EQ(tk::QtWidget(form.Client())->geometry().top(), form.Window().menuBar()->geometry().bottom() + 1);
}

TEST_F(FormTest, OuterHeightCountsMenuBarAndFrame) {
  form.SetOuterHeight(240);
  EXPECT_EQ(form.OuterHeight(), 240);
  const int menu = form.Window().menuBar()->sizeHint().height();
  EXPECT_GT(menu, 0);
  EXPECT_EQ(tk::QtWidget(form.Client())->height(), 240 - menu);

  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.Window()));
  const int frame = form.Window().frameGeometry().height() - form.Window().geometry().height();
  EXPECT_EQ(form.OuterHeight(), 240);
  EXPECT_EQ(form.Window().frameGeometry().height(), 240);
  EXPECT_EQ(tk::QtWidget(form.Client())->height(), 240 - frame - form.Window().menuBar()->height());
  EXPECT_EQ(form.Window().minimumSize(), form.Window().maximumSize());
}

// A window manager that reports its frame only once it has mapped the
// window, without moving it: the frame the platform reports is set here.
class LateFrameForm : public tk::Form {
 public:
  using tk::Form::Form;
  int frame = 0;

 protected:
  int FrameHeight() const override { return frame; }
};

// Whether the window manager exposes the window again once its frame is
// known; some neither expose nor move it.
class FormFrameTest : public ::testing::TestWithParam<bool> {};

TEST_P(FormFrameTest, CutIsRedoneOnceTheFrameIsKnown) {
  LateFrameForm form(400, 377);
  form.AddMenu("File(&F)");
  form.SetOuterHeight(240);
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.Window()));
  ASSERT_EQ(form.OuterHeight(), 240);
  form.frame = 21;  // title bar and border, known from now on
  if (GetParam()) {
    QExposeEvent exposed{QRegion(form.Window().rect())};
    QCoreApplication::sendEvent(form.Window().windowHandle(), &exposed);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.Window().height() == 240 - 21; }));
  EXPECT_EQ(form.OuterHeight(), 240);
  EXPECT_EQ(form.Window().minimumSize(), form.Window().maximumSize());
}

INSTANTIATE_TEST_SUITE_P(ExposedOrNot, FormFrameTest, ::testing::Bool());

TEST_F(FormTest, ControlsBelowTheCutStayOutsideTheClientAreaAndOutOfReach) {
  tk::Label below(form.Client(), 16, 256, "HA_ID:");
  tk::Edit editBelow(form.Client(), {248, 288, 41, 20}, "");
  tk::Edit editAbove(form.Client(), {8, 8, 41, 20}, "");
  form.SetOuterHeight(240);
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.Window()));
  EXPECT_FALSE(tk::QtWidget(form.Client())->rect().intersects(tk::QtWidget(below)->geometry()));
  // What is never seen is neither shown to screen readers nor reached by
  // focus, and still visible as the description has it.
  for (const tk::Control* control : std::initializer_list<const tk::Control*>{&below, &editBelow, &editAbove}) {
    const bool cut = control != &editAbove;
    const QAccessible::State state = QAccessible::queryAccessibleInterface(tk::QtWidget(*control))->state();
    EXPECT_EQ(state.invisible, cut);
    EXPECT_EQ(state.focusable, !cut);
    EXPECT_TRUE(control->Visible());
  }
  // Once the window is tall enough again, the edit field is back within reach.
  form.SetOuterHeight(-1);
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(tk::QtWidget(editBelow))->state().focusable);
}

TEST_F(FormTest, ShownCentredOnScreen) {
  form.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form.Window()));
  const QPoint screenCentre = form.Window().screen()->availableGeometry().center();
  const QPoint windowCentre = form.Window().frameGeometry().center();
  EXPECT_LE(std::abs(screenCentre.x() - windowCentre.x()), 1);
  EXPECT_LE(std::abs(screenCentre.y() - windowCentre.y()), 1);
}

TEST_F(FormTest, JapaneseCaptionReachesTheWindowAsUnicode) {
  form.SetCaption("\x8c\xbe\x8c\xea");  // 言語
  EXPECT_EQ(form.Window().windowTitle(), QString::fromUtf8(u8"言語"));
}

TEST_F(FormTest, FontResolvesToInstalledJapaneseGothic) {
  const QFont font = tk::QtWidget(form.Client())->font();
  EXPECT_EQ(font.family(), QString::fromUtf8(reinterpret_cast<const char*>(tk::Form::kFontFamily)));
  EXPECT_EQ(font.pixelSize(), 12);
  const QString resolved = QFontInfo(font).family();
  EXPECT_TRUE(resolved.contains("IPA") || resolved.contains("Noto Sans CJK")) << resolved.toStdString();
}

}  // namespace
