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

#include "app/toolkit/text.h"
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
  RunOnWindowThread([&] { widget_->setEnabled(enabled); });
}

bool Control::Enabled() const {
  return CallOnWindowThread([&] { return widget_->isEnabled(); });
}

bool Control::Visible() const {
  return CallOnWindowThread([&] { return !widget_->isHidden(); });
}

Bounds Control::GetBounds() const {
  return CallOnWindowThread([&] {
    const QRect r = widget_->geometry();
    return Bounds{r.left(), r.top(), r.width(), r.height()};
  });
}

void Control::SetAccessibleName(std::string_view cp932) {
  RunOnWindowThread([&] { widget_->setAccessibleName(FromCp932(cp932)); });
}

std::string Control::AccessibleName() const {
  return CallOnWindowThread([&] { return ToCp932(widget_->accessibleName()); });
}

void SetTabOrder(const std::vector<const Control*>& order) {
  RunOnWindowThread([&] {
    // Qt leaves widgets that refuse the focus out of setTabOrder: let them
    // accept it while they are put in place.
    std::vector<Qt::FocusPolicy> policies;
    for (const Control* c : order) {
      policies.push_back(c->Widget()->focusPolicy());
      if (policies.back() == Qt::NoFocus) c->Widget()->setFocusPolicy(Qt::TabFocus);
    }
    for (size_t i = 1; i < order.size(); ++i)
      QWidget::setTabOrder(order[i - 1]->Widget(), order[i]->Widget());
    for (size_t i = 0; i < order.size(); ++i) order[i]->Widget()->setFocusPolicy(policies[i]);
  });
}

// Label

Label::Label(QWidget* parent, int left, int top, std::string_view caption) : Control(new QLabel(parent)) {
  widget_->move(left, top);
  SetCaption(caption);
}

void Label::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    auto* label = static_cast<QLabel*>(widget_);
    label->setText(FromCp932(cp932));
    label->adjustSize();
  });
}

std::string Label::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QLabel*>(widget_)->text()); });
}

void Label::SetCentered(bool centered) {
  RunOnWindowThread([&] {
    static_cast<QLabel*>(widget_)->setAlignment(centered ? Qt::AlignHCenter | Qt::AlignTop
                                                         : Qt::AlignLeft | Qt::AlignTop);
  });
}

bool Label::Centered() const {
  return CallOnWindowThread(
      [&] { return static_cast<QLabel*>(widget_)->alignment().testFlag(Qt::AlignHCenter); });
}

// Button

Button::Button(QWidget* parent, Bounds bounds, std::string_view caption)
    : Control(Place(new QPushButton(parent), bounds)) {
  auto* button = static_cast<QPushButton*>(widget_);
  button->setAutoDefault(false);
  button->setText(FromCp932(caption));
  // Qt emits clicked only for an enabled button.
  QObject::connect(button, &QPushButton::clicked, button, [this] { Raise(onClick_); });
}

void Button::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QPushButton*>(widget_)->setText(FromCp932(cp932)); });
}

std::string Button::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QPushButton*>(widget_)->text()); });
}

void Button::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void Button::Click() {
  RunOnWindowThread([&] { static_cast<QPushButton*>(widget_)->click(); });
}

// Edit

Edit::Edit(QWidget* parent, Bounds bounds, std::string_view text)
    : Control(Place(new QLineEdit(parent), bounds)) {
  static_cast<QLineEdit*>(widget_)->setText(FromCp932(text));
}

void Edit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QLineEdit*>(widget_)->setText(FromCp932(cp932)); });
}

std::string Edit::Text() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QLineEdit*>(widget_)->text()); });
}

// RichEdit

RichEdit::RichEdit(QWidget* parent, Bounds bounds, std::string_view text)
    : Control(Place(new QTextEdit(parent), bounds)), shown_(text) {
  auto* edit = static_cast<QTextEdit*>(widget_);
  edit->setAcceptRichText(false);
  edit->setPlainText(FromCp932(text));
}

void RichEdit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] {
    static_cast<QTextEdit*>(widget_)->setPlainText(FromCp932(cp932));
    shown_.assign(cp932);
    painted_ = false;
  });
}

void RichEdit::ShowNow(std::string_view cp932) {
  RunOnWindowThread([&] {
    auto* edit = static_cast<QTextEdit*>(widget_);
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
  return CallOnWindowThread([&] { return ToCp932(static_cast<QTextEdit*>(widget_)->toPlainText()); });
}

int RichEdit::ParagraphCount() const {
  return CallOnWindowThread([&] { return static_cast<QTextEdit*>(widget_)->document()->blockCount(); });
}

void RichEdit::Repaint() {
  RunOnWindowThread([&] {
    auto* edit = static_cast<QTextEdit*>(widget_);
    edit->viewport()->repaint();
    edit->repaint();
  });
}

// ProgressBar

ProgressBar::ProgressBar(QWidget* parent, Bounds bounds, int min, int max)
    : Control(Place(new QProgressBar(parent), bounds)) {
  auto* bar = static_cast<QProgressBar*>(widget_);
  bar->setTextVisible(false);
  bar->setRange(min, std::max(min, max));
  bar->setValue(min);
}

void ProgressBar::SetMax(int max) {
  RunOnWindowThread([&] {
    auto* bar = static_cast<QProgressBar*>(widget_);
    // Qt resets the bar when its value falls outside a new range; keep it, clamped.
    const int position = bar->value();
    bar->setMaximum(std::max(bar->minimum(), max));
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  });
}

int ProgressBar::Max() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(widget_)->maximum(); });
}

int ProgressBar::Min() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(widget_)->minimum(); });
}

void ProgressBar::SetPosition(int position) {
  RunOnWindowThread([&] {
    auto* bar = static_cast<QProgressBar*>(widget_);
    // Qt ignores a value outside the range; the bar clamps it instead.
    bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  });
}

int ProgressBar::Position() const {
  return CallOnWindowThread([&] { return static_cast<QProgressBar*>(widget_)->value(); });
}

// RadioButton

RadioButton::RadioButton(QWidget* parent, Bounds bounds, std::string_view caption)
    : Control(Place(new StickyRadioButton(parent), bounds)) {
  auto* button = static_cast<QRadioButton*>(widget_);
  button->setText(FromCp932(caption));
  // toggled, not clicked: the handler runs when the button becomes checked,
  // by the operator or by the program, and not when it already was.
  QObject::connect(button, &QRadioButton::toggled, button, [this](bool checked) {
    if (checked) Raise(onClick_);
  });
}

void RadioButton::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(widget_)->setText(FromCp932(cp932)); });
}

std::string RadioButton::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QRadioButton*>(widget_)->text()); });
}

void RadioButton::SetChecked(bool checked) {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(widget_)->setChecked(checked); });
}

bool RadioButton::Checked() const {
  return CallOnWindowThread([&] { return static_cast<QRadioButton*>(widget_)->isChecked(); });
}

void RadioButton::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void RadioButton::Click() {
  RunOnWindowThread([&] { static_cast<QRadioButton*>(widget_)->click(); });
}

// GroupBox

GroupBox::GroupBox(QWidget* parent, Bounds bounds, std::string_view caption)
    : Control(Place(new QGroupBox(parent), bounds)) {
  static_cast<QGroupBox*>(widget_)->setTitle(FromCp932(caption));
}

void GroupBox::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { static_cast<QGroupBox*>(widget_)->setTitle(FromCp932(cp932)); });
}

std::string GroupBox::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(static_cast<QGroupBox*>(widget_)->title()); });
}

// Bevel

Bevel::Bevel(QWidget* parent, Bounds bounds, BevelShape shape)
    : Control(Place(new QFrame(parent), bounds)), shape_(shape) {
  auto* frame = static_cast<QFrame*>(widget_);
  frame->setFrameShape(shape == BevelShape::Frame ? QFrame::Box : QFrame::HLine);
  frame->setFrameShadow(QFrame::Sunken);
}

}  // namespace tk
