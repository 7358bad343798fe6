// Controls of the Win32 back-end: child windows of the form, each with the
// Control it stands for in its user data, so that the form's window
// procedure can hand their notifications on.
#include <algorithm>
#include <map>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"

// After <windows.h> (win32_native.h), which they need.
#include <commctrl.h>
#include <richedit.h>

namespace tk {

namespace {

// What screen readers would call each control; window thread only.
std::map<HWND, std::string>& AccessibleNames() {
  static std::map<HWND, std::string> names;
  return names;
}

void Raise(const Handler& handler) {
  if (Handler call = handler) call();  // a copy: it may replace itself
}

HWND Built(HWND hwnd, Control* control) {
  ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  return hwnd;
}

// The size a label's text takes in the window font.
SIZE TextSize(HWND label) {
  const std::string bytes = WindowTextCp932(label);
  const HDC dc = ::GetDC(label);
  const HGDIOBJ old = ::SelectObject(dc, WindowFont());
  const SIZE size = TextExtentCp932(dc, bytes);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  return size;
}

void SetText(HWND hwnd, std::string_view cp932) { SetWindowTextCp932(hwnd, cp932); }

// The other radio buttons of the same parent lose their check.
void UncheckSiblings(HWND button) {
  for (HWND other = ::GetWindow(::GetParent(button), GW_CHILD); other != nullptr;
       other = ::GetWindow(other, GW_HWNDNEXT)) {
    if (other == button) continue;
    const LONG_PTR style = ::GetWindowLongPtrA(other, GWL_STYLE) & BS_TYPEMASK;
    if (HasClass(other, "Button") && style == BS_RADIOBUTTON) ::SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

// The rich-edit class of the program's kind: RichEdit20A on the 95/98/Me
// family reads the CP932 bytes as they are.
const char* RichEditClass() {
  if (!RichEditAvailable()) return "EDIT";
  return AnsiWindows() ? "RichEdit20A" : "RichEdit20W";
}

// The edit control that stands in for the rich-edit one breaks lines only at
// a carriage return and line feed; the rich-edit control takes either.
void SetMessageText(HWND box, std::string_view cp932) {
  if (RichEditAvailable()) return tk::SetText(box, cp932);
  std::string lines;
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    if (cp932[i] == '\n' && (i == 0 || cp932[i - 1] != '\r')) lines += '\r';
    lines += cp932[i];
  }
  tk::SetText(box, lines);
}

}  // namespace

HWND MakeControl(const char* windowClass, DWORD style, NativeControl* parent, Bounds bounds,
                 std::string_view cp932) {
  const Bounds device{Scaled(bounds.left), Scaled(bounds.top), Scaled(bounds.width), Scaled(bounds.height)};
  const HWND hwnd = MakeWindow(0, windowClass, WS_CHILD | WS_VISIBLE | style, device, Hwnd(parent), nullptr);
  ::SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
  if (!cp932.empty()) SetWindowTextCp932(hwnd, cp932);
  return hwnd;
}

void Control::SetEnabled(bool enabled) {
  RunOnWindowThread([&] { ::EnableWindow(Hwnd(*this), enabled); });
}

bool Control::Enabled() const {
  return CallOnWindowThread([&] { return ::IsWindowEnabled(Hwnd(*this)) != FALSE; });
}

bool Control::Visible() const {
  return CallOnWindowThread([&] { return (::GetWindowLongPtrA(Hwnd(*this), GWL_STYLE) & WS_VISIBLE) != 0; });
}

Bounds Control::GetBounds() const {
  return CallOnWindowThread([&] {
    RECT r{};
    ::GetWindowRect(Hwnd(*this), &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Hwnd(*this)), reinterpret_cast<POINT*>(&r), 2);
    return Bounds{Unscaled(r.left), Unscaled(r.top), Unscaled(r.right - r.left), Unscaled(r.bottom - r.top)};
  });
}

void Control::SetAccessibleName(std::string_view cp932) {
  RunOnWindowThread([&] { AccessibleNames()[Hwnd(*this)] = std::string(cp932); });
}

std::string Control::AccessibleName() const {
  return CallOnWindowThread([&] {
    const auto found = AccessibleNames().find(Hwnd(*this));
    return found == AccessibleNames().end() ? std::string() : found->second;
  });
}

void SetTabOrder(const std::vector<const Control*>& order) {
  RunOnWindowThread([&] {
    // The dialog keys follow the children's z-order.
    HWND previous = HWND_TOP;
    for (const Control* control : order) {
      const HWND hwnd = Hwnd(*control);
      ::SetWindowLongPtrA(hwnd, GWL_STYLE, ::GetWindowLongPtrA(hwnd, GWL_STYLE) | WS_TABSTOP);
      ::SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      previous = hwnd;
    }
  });
}

void ControlAccess::Command(Control& control, WORD code) {
  if (auto* button = dynamic_cast<Button*>(&control)) {
    if (code == BN_CLICKED) Raise(button->onClick_);
  } else if (auto* radio = dynamic_cast<RadioButton*>(&control)) {
    if (code == BN_CLICKED) radio->SetChecked(true);
  } else if (auto* box = dynamic_cast<ComboBox*>(&control)) {
    if (code == CBN_SELCHANGE) {
      box->edited_ = false;
      Raise(box->onChange_);
    } else if (code == CBN_EDITCHANGE) {
      box->edited_ = true;
      Raise(box->onChange_);
    }
  }
}

// Label

Label::Label(NativeControl* parent, int left, int top, std::string_view caption)
    : Control(AsNative(MakeControl("STATIC", SS_LEFT | SS_NOPREFIX, parent, {left, top, 0, 0}))) {
  Built(Hwnd(*this), this);
  SetCaption(caption);
}

void Label::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    const HWND hwnd = Hwnd(*this);
    SetText(hwnd, cp932);
    const SIZE size = TextSize(hwnd);
    ::SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

std::string Label::Caption() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

void Label::SetCentered(bool centered) {
  RunOnWindowThread([&] {
    const HWND hwnd = Hwnd(*this);
    LONG_PTR style = ::GetWindowLongPtrA(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    ::SetWindowLongPtrA(hwnd, GWL_STYLE, style | (centered ? SS_CENTER : SS_LEFT));
    ::InvalidateRect(hwnd, nullptr, TRUE);
  });
}

bool Label::Centered() const {
  return CallOnWindowThread(
      [&] { return (::GetWindowLongPtrA(Hwnd(*this), GWL_STYLE) & SS_TYPEMASK) == SS_CENTER; });
}

// Windows' accessibility names a control from the static text just before
// it in the window order, which the construction order already gives.
void Label::SetBuddy(const Control&) {}

// Button

Button::Button(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(MakeControl("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, parent, bounds, caption))) {
  Built(Hwnd(*this), this);
}

void Button::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { SetText(Hwnd(*this), cp932); });
}

std::string Button::Caption() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

void Button::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void Button::Click() {
  RunOnWindowThread([&] {
    if (::IsWindowEnabled(Hwnd(*this))) Raise(onClick_);
  });
}

// Edit

Edit::Edit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(AsNative(MakeControl("EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, parent, bounds, text))) {
  Built(Hwnd(*this), this);
}

void Edit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] { tk::SetText(Hwnd(*this), cp932); });
}

std::string Edit::Text() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

// RichEdit

RichEdit::RichEdit(NativeControl* parent, Bounds bounds, std::string_view text)
    : Control(AsNative(MakeControl(RichEditClass(), ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP,
                                   parent, bounds))),
      shown_(text) {
  Built(Hwnd(*this), this);
  SetMessageText(Hwnd(*this), text);
  // The window font for the whole text, whatever it is set to later
  // (twips at 96 dots per inch).
  if (RichEditAvailable()) SetRichEditFont(Hwnd(*this), Form::kFontFamily, Form::kFontPixels * 15);
}

void RichEdit::SetText(std::string_view cp932) {
  RunOnWindowThread([&] {
    SetMessageText(Hwnd(*this), cp932);
    ::SendMessageA(Hwnd(*this), EM_SETMODIFY, FALSE, 0);
    shown_.assign(cp932);
    painted_ = false;
  });
}

void RichEdit::ShowNow(std::string_view cp932) {
  RunOnWindowThread([&] {
    const HWND box = Hwnd(*this);
    const bool same = cp932 == shown_ && ::SendMessageA(box, EM_GETMODIFY, 0, 0) == 0;
    if (same && painted_) return;
    if (!same) {
      SetMessageText(box, cp932);
      ::SendMessageA(box, EM_SETMODIFY, FALSE, 0);
      shown_.assign(cp932);
    }
    ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    painted_ = true;
  });
}

std::string RichEdit::Text() const {
  return CallOnWindowThread([&] {
    // The control ends paragraphs with a carriage return (and a line feed).
    std::string text = WindowTextCp932(Hwnd(*this)), out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r') {
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        out += text[i];
      }
    }
    return out;
  });
}

int RichEdit::ParagraphCount() const {
  const std::string text = Text();
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void RichEdit::Repaint() {
  RunOnWindowThread(
      [&] { ::RedrawWindow(Hwnd(*this), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); });
}

// ProgressBar

ProgressBar::ProgressBar(NativeControl* parent, Bounds bounds, int min, int max)
    : Control(AsNative(MakeControl(PROGRESS_CLASSA, 0, parent, bounds))) {
  Built(Hwnd(*this), this);
  ::SendMessageA(Hwnd(*this), PBM_SETRANGE32, static_cast<WPARAM>(min), std::max(min, max));
  ::SendMessageA(Hwnd(*this), PBM_SETPOS, static_cast<WPARAM>(min), 0);
}

void ProgressBar::SetMax(int max) {
  RunOnWindowThread([&] {
    const HWND bar = Hwnd(*this);
    const int min = static_cast<int>(::SendMessageA(bar, PBM_GETRANGE, TRUE, 0));
    const int position = static_cast<int>(::SendMessageA(bar, PBM_GETPOS, 0, 0));
    const int top = std::max(min, max);
    ::SendMessageA(bar, PBM_SETRANGE32, static_cast<WPARAM>(min), top);
    ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, min, top)), 0);
  });
}

int ProgressBar::Max() const {
  return CallOnWindowThread([&] { return static_cast<int>(::SendMessageA(Hwnd(*this), PBM_GETRANGE, FALSE, 0)); });
}

int ProgressBar::Min() const {
  return CallOnWindowThread([&] { return static_cast<int>(::SendMessageA(Hwnd(*this), PBM_GETRANGE, TRUE, 0)); });
}

void ProgressBar::SetPosition(int position) {
  RunOnWindowThread([&] {
    const int clamped = std::clamp(position, Min(), Max());
    ::SendMessageA(Hwnd(*this), PBM_SETPOS, static_cast<WPARAM>(clamped), 0);
  });
}

int ProgressBar::Position() const {
  return CallOnWindowThread([&] { return static_cast<int>(::SendMessageA(Hwnd(*this), PBM_GETPOS, 0, 0)); });
}

// RadioButton

RadioButton::RadioButton(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(MakeControl("BUTTON", BS_RADIOBUTTON | WS_TABSTOP, parent, bounds, caption))) {
  Built(Hwnd(*this), this);
}

void RadioButton::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { SetText(Hwnd(*this), cp932); });
}

std::string RadioButton::Caption() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

void RadioButton::SetChecked(bool checked) {
  RunOnWindowThread([&] {
    const HWND hwnd = Hwnd(*this);
    const bool was = ::SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::SendMessageA(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked || was) return;
    UncheckSiblings(hwnd);
    Raise(onClick_);  // became checked, by the operator or by the program
  });
}

bool RadioButton::Checked() const {
  return CallOnWindowThread([&] { return ::SendMessageA(Hwnd(*this), BM_GETCHECK, 0, 0) == BST_CHECKED; });
}

void RadioButton::OnClick(Handler handler) {
  RunOnWindowThread([&] { onClick_ = std::move(handler); });
}

void RadioButton::Click() {
  RunOnWindowThread([&] {
    if (::IsWindowEnabled(Hwnd(*this))) SetChecked(true);
  });
}

// GroupBox

GroupBox::GroupBox(NativeControl* parent, Bounds bounds, std::string_view caption)
    : Control(AsNative(MakeControl("BUTTON", BS_GROUPBOX, parent, bounds, caption))) {
  Built(Hwnd(*this), this);
}

void GroupBox::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { SetText(Hwnd(*this), cp932); });
}

std::string GroupBox::Caption() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

// Bevel

Bevel::Bevel(NativeControl* parent, Bounds bounds, BevelShape shape)
    : Control(AsNative(MakeControl("STATIC", shape == BevelShape::Frame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ, parent,
                                   bounds))),
      shape_(shape) {
  Built(Hwnd(*this), this);
}

}  // namespace tk
