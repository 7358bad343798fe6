// TForm1 as its window description builds it.
#include "app/main_window.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <functional>
#include <map>

#include "app/program.h"
#include "tests/support/window/test_program.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/form_window.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  fakes::TestProgram tp;
  TForm1 form{*tp, /*runStartup=*/false};
};

enum class Kind { Label, ComboBox, RichEdit, Button, ProgressBar, Bevel, Edit, GroupBox, RadioButton };

bool IsKind(QWidget* w, Kind kind) {
  switch (kind) {
    case Kind::Label:
      return qobject_cast<QLabel*>(w) != nullptr;
    case Kind::ComboBox:
      return qobject_cast<QComboBox*>(w) != nullptr && static_cast<QComboBox*>(w)->isEditable();
    case Kind::RichEdit:
      return qobject_cast<QTextEdit*>(w) != nullptr;
    case Kind::Button:
      return qobject_cast<QPushButton*>(w) != nullptr;
    case Kind::ProgressBar:
      return qobject_cast<QProgressBar*>(w) != nullptr;
    case Kind::Bevel:
      return w->metaObject() == &QFrame::staticMetaObject;
    case Kind::Edit:
      return qobject_cast<QLineEdit*>(w) != nullptr;
    case Kind::GroupBox:
      return qobject_cast<QGroupBox*>(w) != nullptr;
    case Kind::RadioButton:
      return qobject_cast<QRadioButton*>(w) != nullptr;
  }
  return false;
}

std::string TextOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
  if (auto* r = qobject_cast<QTextEdit*>(w)) return r->toPlainText().toStdString();
  if (auto* b = qobject_cast<QPushButton*>(w)) return b->text().toStdString();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
  if (auto* r = qobject_cast<QRadioButton*>(w)) return r->text().toStdString();
  return {};
}

struct Described {
  const char* name;
  std::function<tk::Control&(TForm1&)> control;
  Kind kind;
  tk::Bounds bounds;  // width and height 0: a label, sized by its text
  const char* text;
};

#define CONTROL(name) #name, [](TForm1 & f) -> tk::Control& { return f.name; }

const Described kDescription[] = {
    {CONTROL(Label15), Kind::Label, {16, 8, 0, 0}, ""},
    {CONTROL(ComboBox1), Kind::ComboBox, {128, 4, 257, 20}, ""},
    {CONTROL(Label3), Kind::Label, {16, 32, 0, 0}, ""},
    {CONTROL(Label11), Kind::Label, {136, 32, 0, 0}, ""},
    {CONTROL(Label10), Kind::Label, {16, 56, 0, 0}, ""},
    {CONTROL(Label12), Kind::Label, {136, 56, 0, 0}, ""},
    {CONTROL(RichEdit1), Kind::RichEdit, {8, 77, 193, 61}, "RichEdit1"},
    {CONTROL(Button1), Kind::Button, {224, 112, 69, 25}, ""},
    {CONTROL(Button2), Kind::Button, {320, 112, 65, 25}, ""},
    {CONTROL(Label22), Kind::Label, {8, 144, 0, 0}, ""},
    {CONTROL(ProgressBar1), Kind::ProgressBar, {8, 160, 385, 17}, ""},
    {CONTROL(Bevel2), Kind::Bevel, {8, 237, 385, 2}, ""},
    {CONTROL(Bevel1), Kind::Bevel, {8, 248, 225, 121}, ""},
    {CONTROL(Label4), Kind::Label, {16, 256, 0, 0}, "HA_ID:"},
    {CONTROL(Label6), Kind::Label, {64, 256, 0, 0}, "Label6"},
    {CONTROL(Label5), Kind::Label, {96, 256, 0, 0}, "TG_ID:"},
    {CONTROL(Label7), Kind::Label, {144, 256, 0, 0}, "Label7"},
    {CONTROL(Label1), Kind::Label, {16, 280, 0, 0}, "Label1"},
    {CONTROL(Label2), Kind::Label, {96, 280, 0, 0}, "Label2"},
    {CONTROL(Label8), Kind::Label, {16, 304, 0, 0}, "Label8"},
    {CONTROL(Label9), Kind::Label, {96, 304, 0, 0}, "Label9"},
    {CONTROL(Label18), Kind::Label, {16, 328, 0, 0}, "WinVer:"},
    {CONTROL(Label19), Kind::Label, {64, 328, 0, 0}, "Label19"},
    {CONTROL(Label20), Kind::Label, {112, 328, 0, 0}, "DMA check:"},
    {CONTROL(Label21), Kind::Label, {184, 328, 0, 0}, "Label21"},
    {CONTROL(Label17), Kind::Label, {16, 352, 0, 0}, "Label17"},
    {CONTROL(Label23), Kind::Label, {152, 352, 0, 0}, "Label23"},
    {CONTROL(Label24), Kind::Label, {192, 352, 0, 0}, "Label24"},
    {CONTROL(Edit1), Kind::Edit, {256, 248, 121, 20}, "*.bin"},
    {CONTROL(Label13), Kind::Label, {264, 272, 0, 0}, ""},
    {CONTROL(Label14), Kind::Label, {328, 272, 0, 0}, ""},
    {CONTROL(Edit2), Kind::Edit, {248, 288, 41, 20}, ""},
    {CONTROL(Edit3), Kind::Edit, {296, 288, 41, 20}, ""},
    {CONTROL(Edit4), Kind::Edit, {344, 288, 41, 20}, ""},
    {CONTROL(RadioGroup1), Kind::GroupBox, {248, 312, 137, 57}, ""},
    {CONTROL(RadioButton1), Kind::RadioButton, {264, 328, 113, 17}, ""},
    {CONTROL(RadioButton2), Kind::RadioButton, {264, 344, 113, 17}, ""},
};

#undef CONTROL

class DescriptionTest : public MainWindowTest, public ::testing::WithParamInterface<Described> {};

TEST_P(DescriptionTest, ControlHasDescribedKindPlaceAndText) {
  const Described& d = GetParam();
  tk::Control& control = d.control(form);
  QWidget* w = tk::QtWidget(control);
  EXPECT_EQ(w->parentWidget(), tk::QtWidget(form.Client()));
  EXPECT_TRUE(IsKind(w, d.kind));
  EXPECT_EQ(TextOf(w), d.text);
  const tk::Bounds b = control.GetBounds();
  EXPECT_EQ(b.left, d.bounds.left);
  EXPECT_EQ(b.top, d.bounds.top);
  if (d.kind == Kind::Label) {
    EXPECT_EQ(b.width, w->sizeHint().width());  // sized by its text
    EXPECT_EQ(b.height, w->sizeHint().height());
  } else {
    EXPECT_EQ(b.width, d.bounds.width);
    EXPECT_EQ(b.height, d.bounds.height);
  }
  EXPECT_TRUE(control.Visible());
  EXPECT_TRUE(control.Enabled());
}

INSTANTIATE_TEST_SUITE_P(Window, DescriptionTest, ::testing::ValuesIn(kDescription),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ClientAreaHasDesignedSize) {
  EXPECT_EQ(tk::QtWidget(form.Client())->size(), QSize(TForm1::kClientWidth, TForm1::kClientHeight));
  EXPECT_EQ(QSize(TForm1::kClientWidth, TForm1::kClientHeight), QSize(400, 377));
  EXPECT_EQ(form.Window().minimumSize(), form.Window().maximumSize());
  EXPECT_TRUE(form.Window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(form.Window().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(MainWindowTest, TabOrderFollowsDescription) {
  const std::vector<QWidget*> expected = {
      tk::QtWidget(form.ComboBox1),    tk::QtWidget(form.Button1),      tk::QtWidget(form.Edit2),
      tk::QtWidget(form.Edit3),        tk::QtWidget(form.Button2),      tk::QtWidget(form.Edit1),
      tk::QtWidget(form.RadioGroup1),  tk::QtWidget(form.RadioButton1), tk::QtWidget(form.RadioButton2),
      tk::QtWidget(form.ProgressBar1), tk::QtWidget(form.Edit4),        tk::QtWidget(form.RichEdit1)};
  std::vector<QWidget*> chain;
  QWidget* w = expected.front();
  for (int guard = 0; guard < 1000 && chain.size() < expected.size(); ++guard) {
    if (std::find(expected.begin(), expected.end(), w) != expected.end() &&
        std::find(chain.begin(), chain.end(), w) == chain.end())
      chain.push_back(w);
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(chain, expected);
}

TEST_F(MainWindowTest, MainMenuHoldsExitWithCtrlX) {
  QMenu* file = tk::QtMenu(form.FileF1);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(form.Window().menuBar()->actions().contains(file->menuAction()));
  EXPECT_TRUE(file->actions().contains(tk::QtAction(form.Exit1)));
  EXPECT_EQ(form.Exit1.Shortcut(), "Ctrl+X");
  EXPECT_TRUE(form.Exit1.Visible());
}

TEST_F(MainWindowTest, PopupItemsAreInvisibleWithTheirShortcuts) {
  const auto popup = form.Window().PopupMenu()->actions();
  EXPECT_THAT(popup, ::testing::ElementsAre(tk::QtAction(form.SaveFW), tk::QtAction(form.Detail1)));
  EXPECT_FALSE(form.SaveFW.Visible());
  EXPECT_FALSE(form.Detail1.Visible());
  EXPECT_EQ(form.SaveFW.Shortcut(), "Ctrl+S");
  EXPECT_EQ(form.Detail1.Shortcut(), "Ctrl+D");
  EXPECT_EQ(form.SaveFW.Caption(), "");
  EXPECT_EQ(form.Detail1.Caption(), "");
}

TEST_F(MainWindowTest, ComponentsWithoutPlaceHaveDescribedSettings) {
  EXPECT_EQ(form.OpenDialog1.filter, "Firmware File (*.bin)|*.bin|All Files (*.*)|*.*");
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.Timer1.Interval(), 1000);
  EXPECT_EQ(form.ProgressBar1.Min(), 0);
  EXPECT_EQ(form.ProgressBar1.Max(), 100);
  EXPECT_EQ(form.ProgressBar1.Position(), 0);
  EXPECT_EQ(form.ComboBox1.ItemIndex(), -1);
  EXPECT_FALSE(form.RadioButton1.Checked());
  EXPECT_FALSE(form.RadioButton2.Checked());
  EXPECT_FALSE(form.flashThread.Running());
}

// Everything the operator or another part could see change.
std::map<std::string, std::string> Snapshot(TForm1& form) {
  std::map<std::string, std::string> s;
  for (const Described& d : kDescription) {
    tk::Control& c = d.control(form);
    s[d.name] = TextOf(tk::QtWidget(c)) + (c.Enabled() ? "|on" : "|off") + (c.Visible() ? "|shown" : "|hidden");
  }
  s["caption"] = form.Caption();
  s["language"] = std::to_string(form.program.run.language.load());
  s["status"] = std::to_string(static_cast<int>(form.program.status.StatusCode()));
  s["timer"] = std::to_string(form.Timer1.Enabled());
  s["visible"] = std::to_string(form.Shown());
  return s;
}

class HiddenShortcutTest : public MainWindowTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(HiddenShortcutTest, ChangesNothing) {
  form.Show();
  QApplication::setActiveWindow(&form.Window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form.Window()));
  form.Window().setFocus();
  const auto before = Snapshot(form);
  QTest::keyClick(&form.Window(), GetParam(), Qt::ControlModifier);
  QTest::keyClick(tk::QtWidget(form.ComboBox1), GetParam(), Qt::ControlModifier);
  EXPECT_EQ(Snapshot(form), before);
}

INSTANTIATE_TEST_SUITE_P(PopupItems, HiddenShortcutTest, ::testing::Values(Qt::Key_S, Qt::Key_D));

}  // namespace
