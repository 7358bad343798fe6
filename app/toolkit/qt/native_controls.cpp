// The Qt back-end's controls: widgets of the form's client area. Only the
// native calls live here; what the controls do with them is shared
// (app/toolkit/controls.cpp).
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QTextEdit>

#include "app/toolkit/native.h"
#include "app/toolkit/qt/cut_off.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"

namespace tk::native {

namespace {

template <typename W>
NativeControl* Placed(W* widget, Bounds bounds) {
  widget->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  return AsNative(widget);
}

template <typename W>
W* As(NativeControl* control) {
  return static_cast<W*>(QtWidget(control));
}

// Clicking a radio button leaves its checking to the shared code: a checked
// one stays checked, also when it has no sibling to hand the check to (Qt
// would uncheck a lone one), and an unchecked one is checked through
// RadioButton::SetChecked, which runs the handler.
class SharedCheckRadioButton final : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override {}
};

}  // namespace

void SetEnabled(NativeControl* control, bool enabled) { QtWidget(control)->setEnabled(enabled); }

bool Enabled(NativeControl* control) { return QtWidget(control)->isEnabled(); }

bool Visible(NativeControl* control) {
  const QWidget* widget = QtWidget(control);
  return !widget->isHidden() || IsCutOff(*widget);
}

Bounds GetBounds(NativeControl* control) {
  const QRect r = QtWidget(control)->geometry();
  return Bounds{r.left(), r.top(), r.width(), r.height()};
}

void SetAccessibleName(NativeControl* control, std::string_view cp932) {
  QtWidget(control)->setAccessibleName(FromCp932(cp932));
}

std::string AccessibleName(NativeControl* control) { return ToCp932(QtWidget(control)->accessibleName()); }

void SetTabOrder(const std::vector<NativeControl*>& order) {
  // Qt leaves widgets that refuse the focus out of setTabOrder: let them
  // accept it while they are put in place.
  std::vector<Qt::FocusPolicy> policies;
  for (NativeControl* c : order) {
    policies.push_back(QtWidget(c)->focusPolicy());
    if (policies.back() == Qt::NoFocus) QtWidget(c)->setFocusPolicy(Qt::TabFocus);
  }
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(QtWidget(order[i - 1]), QtWidget(order[i]));
  for (size_t i = 0; i < order.size(); ++i) QtWidget(order[i])->setFocusPolicy(policies[i]);
}

void SetText(NativeControl* control, std::string_view cp932) {
  QWidget* widget = QtWidget(control);
  const QString text = FromCp932(cp932);
  if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(text);
  else if (auto* edit = qobject_cast<QLineEdit*>(widget))
    edit->setText(text);
  else if (auto* group = qobject_cast<QGroupBox*>(widget))
    group->setTitle(text);
}

std::string Text(NativeControl* control) {
  QWidget* widget = QtWidget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) return ToCp932(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return ToCp932(button->text());
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return ToCp932(edit->text());
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return ToCp932(group->title());
  if (auto* box = qobject_cast<QComboBox*>(widget)) return ToCp932(box->currentText());
  return {};
}

// Label

NativeControl* MakeLabel(NativeControl* parent, int left, int top) {
  auto* label = new QLabel(QtWidget(parent));
  label->move(left, top);
  return AsNative(label);
}

void FitLabelToText(NativeControl* label) { As<QLabel>(label)->adjustSize(); }

void SetLabelCentered(NativeControl* label, bool centered) {
  As<QLabel>(label)->setAlignment(centered ? Qt::AlignHCenter | Qt::AlignTop : Qt::AlignLeft | Qt::AlignTop);
}

bool LabelCentered(NativeControl* label) { return As<QLabel>(label)->alignment().testFlag(Qt::AlignHCenter); }

void SetLabelBuddy(NativeControl* label, NativeControl* buddy) { As<QLabel>(label)->setBuddy(QtWidget(buddy)); }

// Buttons, edit field, frames

NativeControl* MakeButton(Button& owner, NativeControl* parent, Bounds bounds, std::string_view cp932) {
  auto* button = new QPushButton(FromCp932(cp932), QtWidget(parent));
  button->setAutoDefault(false);
  // Qt emits clicked only for an enabled button.
  QObject::connect(button, &QPushButton::clicked, button, [&owner] { ControlAccess::Clicked(owner); });
  return Placed(button, bounds);
}

NativeControl* MakeRadioButton(RadioButton& owner, NativeControl* parent, Bounds bounds, std::string_view cp932) {
  auto* button = new SharedCheckRadioButton(FromCp932(cp932), QtWidget(parent));
  QObject::connect(button, &QRadioButton::clicked, button, [&owner] { ControlAccess::Clicked(owner); });
  return Placed(button, bounds);
}

void SetChecked(NativeControl* radio, bool checked) { As<QRadioButton>(radio)->setChecked(checked); }

bool Checked(NativeControl* radio) { return As<QRadioButton>(radio)->isChecked(); }

NativeControl* MakeEdit(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return Placed(new QLineEdit(FromCp932(cp932), QtWidget(parent)), bounds);
}

NativeControl* MakeGroupBox(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return Placed(new QGroupBox(FromCp932(cp932), QtWidget(parent)), bounds);
}

NativeControl* MakeBevel(NativeControl* parent, Bounds bounds, BevelShape shape) {
  auto* frame = new QFrame(QtWidget(parent));
  frame->setFrameShape(shape == BevelShape::Frame ? QFrame::Box : QFrame::HLine);
  frame->setFrameShadow(QFrame::Sunken);
  return Placed(frame, bounds);
}

// Message area

NativeControl* MakeRichEdit(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  auto* edit = new QTextEdit(QtWidget(parent));
  edit->setAcceptRichText(false);
  edit->setPlainText(FromCp932(cp932));
  return Placed(edit, bounds);
}

void SetRichText(NativeControl* box, std::string_view cp932) { As<QTextEdit>(box)->setPlainText(FromCp932(cp932)); }

std::string RichText(NativeControl* box) { return ToCp932(As<QTextEdit>(box)->toPlainText()); }

bool RichTextEdited(NativeControl* box) { return As<QTextEdit>(box)->document()->isModified(); }

// The text lies in the viewport; the frame around it does not change.
void PaintTextNow(NativeControl* box) { As<QTextEdit>(box)->viewport()->repaint(); }

void RepaintNow(NativeControl* box) {
  auto* edit = As<QTextEdit>(box);
  edit->viewport()->repaint();
  edit->repaint();
}

// Progress bar

NativeControl* MakeProgressBar(NativeControl* parent, Bounds bounds) {
  auto* bar = new QProgressBar(QtWidget(parent));
  bar->setTextVisible(false);
  return Placed(bar, bounds);
}

void SetRange(NativeControl* bar, int min, int max) { As<QProgressBar>(bar)->setRange(min, max); }

int RangeMin(NativeControl* bar) { return As<QProgressBar>(bar)->minimum(); }

int RangeMax(NativeControl* bar) { return As<QProgressBar>(bar)->maximum(); }

void SetPosition(NativeControl* bar, int position) { As<QProgressBar>(bar)->setValue(position); }

int Position(NativeControl* bar) { return As<QProgressBar>(bar)->value(); }

}  // namespace tk::native
