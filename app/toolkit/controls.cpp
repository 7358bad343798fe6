// The controls' behaviour, the same on every back-end: each operation runs
// on the window thread, and what a control does beyond a native call (when
// a handler runs, clamping, skipping a repaint) is decided here; the
// back-end only makes the native calls (native.h).
#include "app/toolkit/controls.h"

#include <algorithm>

#include "app/toolkit/native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

// Copies the handler first: it may replace itself while it runs.
void Raise(const Handler& handler) {
  if (Handler call = handler) call();
}

}  // namespace

void ControlAccess::Clicked(Button& button) { Raise(button.onClick_); }

void ControlAccess::Clicked(RadioButton& radio) { radio.SetChecked(true); }

void ControlAccess::Picked(ComboBox& box) {
  box.edited_ = false;
  Raise(box.onChange_);
}

void ControlAccess::Edited(ComboBox& box) {
  box.edited_ = true;
  Raise(box.onChange_);
}

void Control::SetEnabled(bool enabled) {
  RunOnWindowThread([&] { native::SetEnabled(native_, enabled); });
}

bool Control::Enabled() const {
  return CallOnWindowThread([&] { return native::Enabled(native_); });
}

bool Control::Visible() const {
  return CallOnWindowThread([&] { return native::Visible(native_); });
}

Bounds Control::GetBounds() const {
  return CallOnWindowThread([&] { return native::GetBounds(native_); });
}

void Control::SetAccessibleName(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetAccessibleName(native_, cp932); });
}

std::string Control::AccessibleName() const {
  return CallOnWindowThread([&] { return native::AccessibleName(native_); });
}

void SetTabOrder(const std::vector<const Control*>& order) {
  RunOnWindowThread([&] {
    std::vector<NativeControl*> natives;
    for (const Control* control : order) natives.push_back(control->Native());
    native::SetTabOrder(natives);
  });
}

// Label

Label::Label(NativeControl* parent, int left, int top, std::string_view caption)
    : Control(native::MakeLabel(parent, left, top)) {
  SetCaption(caption);
}

void Label::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    native::SetText(native_, cp932);
    native::FitLabelToText(native_);
  });
}

std::string Label::Caption() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

void Label::SetCentered(bool centered) {
  RunOnWindowThread([&] { native::SetLabelCentered(native_, centered); });
}

bool Label::Centered() const {
  return CallOnWindowThread([&] { return native::LabelCentered(native_); });
}

void Label::SetBuddy(const Control& control) {
  RunOnWindowThread([&] { native::SetLabelBuddy(native_, control.Native()); });
}

// Button

Button::Button(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(native::MakeButton(*this, parent, bounds, caption)) {}

void Button::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetText(native_, cp932); });
}

std::string Button::Caption() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

void Button::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void Button::Click() {
  RunOnWindowThread([&] {
    if (native::Enabled(native_)) ControlAccess::Clicked(*this);
  });
}

// Edit

Edit::Edit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(native::MakeEdit(parent, bounds, text)) {}

void Edit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetText(native_, cp932); });
}

std::string Edit::Text() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

// ComboBox

ComboBox::ComboBox(NativeControl* parent, Bounds bounds) : Control(native::MakeComboBox(*this, parent, bounds)) {}

void ComboBox::AddItem(std::string_view cp932) {
  // The first item of an empty box does not become current: none is until set.
  RunOnWindowThread([&] { native::AddItem(native_, cp932); });
}

int ComboBox::ItemCount() const {
  return CallOnWindowThread([&] { return native::ItemCount(native_); });
}

std::string ComboBox::Item(int index) const {
  return CallOnWindowThread([&] { return native::Item(native_, index); });
}

std::string ComboBox::Text() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

void ComboBox::SetItemIndex(int index) {
  RunOnWindowThread([&] {
    edited_ = false;
    native::SetItemIndex(native_, index);
  });
}

int ComboBox::ItemIndex() const {
  return CallOnWindowThread([&] { return edited_ ? -1 : native::ItemIndex(native_); });
}

void ComboBox::OnChange(Handler handler) {
  RunOnWindowThread([&] { onChange_ = std::move(handler); });
}

void ComboBox::Pick(int index) {
  RunOnWindowThread([&] {
    if (!native::Enabled(native_) || index < 0 || index >= native::ItemCount(native_)) return;
    native::PickItem(native_, index);
  });
}

void ComboBox::TypeText(std::string_view cp932) {
  RunOnWindowThread([&] {
    if (native::Enabled(native_)) native::TypeText(native_, cp932);
  });
}

// RichEdit

RichEdit::RichEdit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(native::MakeRichEdit(parent, bounds, text)), shown_(text) {}

void RichEdit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] {
    native::SetRichText(native_, cp932);
    shown_.assign(cp932);
    painted_ = false;
  });
}

void RichEdit::ShowNow(std::string_view cp932) {
  RunOnWindowThread([&] {
    const bool same = cp932 == shown_ && !native::RichTextEdited(native_);
    if (same && painted_) return;
    if (!same) {
      native::SetRichText(native_, cp932);
      shown_.assign(cp932);
    }
    native::PaintTextNow(native_);
    painted_ = true;
  });
}

std::string RichEdit::Text() const {
  return CallOnWindowThread([&] { return native::RichText(native_); });
}

int RichEdit::ParagraphCount() const {
  const std::string text = Text();
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void RichEdit::Repaint() {
  RunOnWindowThread([&] { native::RepaintNow(native_); });
}

// ProgressBar

ProgressBar::ProgressBar(NativeControl* parent, Bounds bounds, int min, int max)
    : Control(native::MakeProgressBar(parent, bounds)) {
  native::SetRange(native_, min, std::max(min, max));
  native::SetPosition(native_, min);
}

void ProgressBar::SetMax(int max) {
  RunOnWindowThread([&] {
    // The position is kept, clamped into the new range.
    const int min = native::RangeMin(native_);
    const int position = native::Position(native_);
    const int top = std::max(min, max);
    native::SetRange(native_, min, top);
    native::SetPosition(native_, std::clamp(position, min, top));
  });
}

int ProgressBar::Max() const {
  return CallOnWindowThread([&] { return native::RangeMax(native_); });
}

int ProgressBar::Min() const {
  return CallOnWindowThread([&] { return native::RangeMin(native_); });
}

void ProgressBar::SetPosition(int position) {
  RunOnWindowThread([&] {
    native::SetPosition(native_, std::clamp(position, native::RangeMin(native_), native::RangeMax(native_)));
  });
}

int ProgressBar::Position() const {
  return CallOnWindowThread([&] { return native::Position(native_); });
}

// RadioButton

RadioButton::RadioButton(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(native::MakeRadioButton(*this, parent, bounds, caption)) {}

void RadioButton::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetText(native_, cp932); });
}

std::string RadioButton::Caption() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

void RadioButton::SetChecked(bool checked) {
  RunOnWindowThread([&] {
    const bool was = native::Checked(native_);
    native::SetChecked(native_, checked);
    // The handler runs when the button becomes checked, by the operator or
    // by the program, and not when it already was.
    if (checked && !was && native::Checked(native_)) Raise(onClick_);
  });
}

bool RadioButton::Checked() const {
  return CallOnWindowThread([&] { return native::Checked(native_); });
}

void RadioButton::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void RadioButton::Click() {
  RunOnWindowThread([&] {
    if (native::Enabled(native_)) ControlAccess::Clicked(*this);
  });
}

// GroupBox

GroupBox::GroupBox(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(native::MakeGroupBox(parent, bounds, caption)) {}

void GroupBox::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetText(native_, cp932); });
}

std::string GroupBox::Caption() const {
  return CallOnWindowThread([&] { return native::Text(native_); });
}

// Bevel

Bevel::Bevel(NativeControl* parent, Bounds bounds, BevelShape shape)
    : Control(native::MakeBevel(parent, bounds, shape)), shape_(shape) {}

}  // namespace tk
