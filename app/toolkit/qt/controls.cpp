#include "app/toolkit/controls.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

#include "app/toolkit/qt/cut_off.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

template <typename W>
W* Place(W* widget, Bounds bounds) {
  widget->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  return widget;
}

// Clicking a checked radio button leaves it checked, also when it has no
// sibling to hand the check to (Qt would uncheck a lone one).
class StickyRadioButton final : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override {
    if (!isChecked()) setChecked(true);
  }
};

// Copies the handler first: it may replace itself while it runs.
void Raise(const Handler& handler) {
  if (Handler call = handler) call();
}

}  // namespace

void Control::SetEnabled(bool enabled) {
  RunOnWindowThread([&] { QtWidget(native_)->setEnabled(enabled); });
}

bool Control::Enabled() const {
  return CallOnWindowThread([&] { return QtWidget(native_)->isEnabled(); });
}

bool Control::Visible() const {
  return CallOnWindowThread([&] {
    const QWidget* widget = QtWidget(native_);
    return !widget->isHidden() || IsCutOff(*widget);
  });
}

Bounds Control::GetBounds() const {
  return CallOnWindowThread([&] {
    const QRect r = QtWidget(native_)->geometry();
    return Bounds{r.left(), r.top(), r.width(), r.height()};
  });
}

void Control::SetAccessibleName(std::string_view cp932) {
  RunOnWindowThread([&] { QtWidget(native_)->setAccessibleName(FromCp932(cp932)); });
}

std::string Control::AccessibleName() const {
  return CallOnWindowThread([&] { return ToCp932(QtWidget(native_)->accessibleName()); });
}

void SetTabOrder(const std::vector<const Control*>& order) {
  RunOnWindowThread([&] {
    // Qt leaves widgets that refuse the focus out of setTabOrder: let them
    // accept it while they are put in place.
    std::vector<Qt::FocusPolicy> policies;
    for (const Control* c : order) {
      policies.push_back(QtWidget(c->Native())->focusPolicy());
      if (policies.back() == Qt::NoFocus) QtWidget(c->Native())->setFocusPolicy(Qt::TabFocus);
    }
    for (size_t i = 1; i < order.size(); ++i)
      QWidget::setTabOrder(QtWidget(order[i - 1]->Native()), QtWidget(order[i]->Native()));
    for (size_t i = 0; i < order.size(); ++i) QtWidget(order[i]->Native())->setFocusPolicy(policies[i]);
  });
}

// Label

Label::Label(NativeControl* parent, int left, int top, std::string_view caption) : Control(AsNative(new QLabel(QtWidget(parent)))) {
  QtWidget(native_)->move(left, top);
  SetCaption(caption);
}

void Label::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    auto* label = static_cast<QLabel*>(QtWidget(native_));
    label->setText(FromCp932(cp932));
    label->adjustSize();
  });
}

std::string Label::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QLabel*>(QtWidget(native_))->text()); });
}

void Label::SetCentered(bool centered) {
  RunOnWindowThread([&] {
    static_cast<QLabel*>(QtWidget(native_))->setAlignment(centered ? Qt::AlignHCenter | Qt::AlignTop
                                                         : Qt::AlignLeft | Qt::AlignTop);
  });
}

bool Label::Centered() const {
  return CallOnWindowThread(
      [&] { return static_cast<QLabel*>(QtWidget(native_))->alignment().testFlag(Qt::AlignHCenter); });
}

void Label::SetBuddy(const Control& control) {
  RunOnWindowThread([&] { static_cast<QLabel*>(QtWidget(native_))->setBuddy(QtWidget(control.Native())); });
}

// Button

Button::Button(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(Place(new QPushButton(QtWidget(parent)), bounds))) {
  auto* button = static_cast<QPushButton*>(QtWidget(native_));
  button->setAutoDefault(false);
  button->setText(FromCp932(caption));
  // Qt emits clicked only for an enabled button.
  QObject::connect(button, &QPushButton::clicked, button, [this] { Raise(onClick_); });
}

void Button::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QPushButton*>(QtWidget(native_))->setText(FromCp932(cp932)); });
}

std::string Button::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QPushButton*>(QtWidget(native_))->text()); });
}

void Button::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void Button::Click() {
  RunOnWindowThread([&] { static_cast<QPushButton*>(QtWidget(native_))->click(); });
}

// Edit

Edit::Edit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(AsNative(Place(new QLineEdit(QtWidget(parent)), bounds))) {
  static_cast<QLineEdit*>(QtWidget(native_))->setText(FromCp932(text));
}

void Edit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QLineEdit*>(QtWidget(native_))->setText(FromCp932(cp932)); });
}

std::string Edit::Text() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QLineEdit*>(QtWidget(native_))->text()); });
}

// RichEdit

RichEdit::RichEdit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(AsNative(Place(new QTextEdit(QtWidget(parent)), bounds))), shown_(text) {
  auto* edit = static_cast<QTextEdit*>(QtWidget(native_));
  edit->setAcceptRichText(false);
  edit->setPlainText(FromCp932(text));
}

void RichEdit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] {
    static_cast<QTextEdit*>(QtWidget(native_))->setPlainText(FromCp932(cp932));
    shown_.assign(cp932);
    painted_ = false;
  });
}

void RichEdit::ShowNow(std::string_view cp932) {
  RunOnWindowThread([&] {
    auto* edit = static_cast<QTextEdit*>(QtWidget(native_));
    const bool same = cp932 == shown_ && !edit->document()->isModified();
    if (same && painted_) return;
    if (!same) {
      edit->setPlainText(FromCp932(cp932));
      shown_.assign(cp932);
    }
    // The text lies in the viewport; the frame around it does not change.
    edit->viewport()->repaint();
    painted_ = true;
  });
}

std::string RichEdit::Text() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QTextEdit*>(QtWidget(native_))->toPlainText()); });
}

int RichEdit::ParagraphCount() const {
  return CallOnWindowThread([&] { return static_cast<QTextEdit*>(QtWidget(native_))->document()->blockCount(); });
}

void RichEdit::Repaint() {
  RunOnWindowThread([&] {
    auto* edit = static_cast<QTextEdit*>(QtWidget(native_));
    edit->viewport()->repaint();
    edit->repaint();
  });
}

// ProgressBar

ProgressBar::ProgressBar(NativeControl* parent, Bounds bounds, int min, int max)
    : Control(AsNative(Place(new QProgressBar(QtWidget(parent)), bounds))) {
  auto* bar = static_cast<QProgressBar*>(QtWidget(native_));
  bar->setTextVisible(false);
  bar->setRange(min, std::max(min, max));
  bar->setValue(min);
}

void ProgressBar::SetMax(int max) {
  RunOnWindowThread([&] {
    auto* bar = static_cast<QProgressBar*>(QtWidget(native_));
    // Qt resets the bar when its value falls outside a new range; keep it, clamped.
    const int position = bar->value();
    bar->setMaximum(std::max(bar->minimum(), max));
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  });
}

int ProgressBar::Max() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(QtWidget(native_))->maximum(); });
}

int ProgressBar::Min() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(QtWidget(native_))->minimum(); });
}

void ProgressBar::SetPosition(int position) {
  RunOnWindowThread([&] {
    auto* bar = static_cast<QProgressBar*>(QtWidget(native_));
    // Qt ignores a value outside the range; the bar clamps it instead.
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  });
}

int ProgressBar::Position() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(QtWidget(native_))->value(); });
}

// RadioButton

RadioButton::RadioButton(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(Place(new StickyRadioButton(QtWidget(parent)), bounds))) {
  auto* button = static_cast<QRadioButton*>(QtWidget(native_));
  button->setText(FromCp932(caption));
  // toggled, not clicked: the handler runs when the button becomes checked,
  // by the operator or by the program, and not when it already was.
  QObject::connect(button, &QRadioButton::toggled, button, [this](bool checked) {
    if (checked) Raise(onClick_);
  });
}

void RadioButton::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(QtWidget(native_))->setText(FromCp932(cp932)); });
}

std::string RadioButton::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QRadioButton*>(QtWidget(native_))->text()); });
}

void RadioButton::SetChecked(bool checked) {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(QtWidget(native_))->setChecked(checked); });
}

bool RadioButton::Checked() const {
  return CallOnWindowThread([&] { return static_cast<QRadioButton*>(QtWidget(native_))->isChecked(); });
}

void RadioButton::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void RadioButton::Click() {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(QtWidget(native_))->click(); });
}

// GroupBox

GroupBox::GroupBox(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(Place(new QGroupBox(QtWidget(parent)), bounds))) {
  static_cast<QGroupBox*>(QtWidget(native_))->setTitle(FromCp932(caption));
}

void GroupBox::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QGroupBox*>(QtWidget(native_))->setTitle(FromCp932(cp932)); });
}

std::string GroupBox::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QGroupBox*>(QtWidget(native_))->title()); });
}

// Bevel

Bevel::Bevel(NativeControl* parent, Bounds bounds, BevelShape shape)
    : Control(AsNative(Place(new QFrame(QtWidget(parent)), bounds))), shape_(shape) {
  auto* frame = static_cast<QFrame*>(QtWidget(native_));
  frame->setFrameShape(shape == BevelShape::Frame ? QFrame::Box : QFrame::HLine);
  frame->setFrameShadow(QFrame::Sunken);
}

}  // namespace tk
