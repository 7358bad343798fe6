// Controls of the Win32 back-end: child windows of the form, each with the
// Control it stands for in its user data, so that the form's window
// procedure can hand their notifications on. Only the native calls live
// here; what the controls do with them is shared (app/toolkit/controls.cpp).
#include <algorithm>
#include <map>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/native.h"

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

NativeControl* Built(HWND hwnd, Control* control) {
  ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  return AsNative(hwnd);
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
  if (RichEditAvailable()) return SetWindowTextCp932(box, cp932);
  std::string lines;
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    if (cp932[i] == '\n' && (i == 0 || cp932[i - 1] != '\r')) lines += '\r';
    lines += cp932[i];
  }
  SetWindowTextCp932(box, lines);
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

void Notify(Control& control, WORD code) {
  if (auto* button = dynamic_cast<Button*>(&control)) {
    if (code == BN_CLICKED) ControlAccess::Clicked(*button);
  } else if (auto* radio = dynamic_cast<RadioButton*>(&control)) {
    if (code == BN_CLICKED) ControlAccess::Clicked(*radio);
  } else if (auto* box = dynamic_cast<ComboBox*>(&control)) {
    if (code == CBN_SELCHANGE) ControlAccess::Picked(*box);
    if (code == CBN_EDITCHANGE) ControlAccess::Edited(*box);
  }
}

namespace native {

void SetEnabled(NativeControl* control, bool enabled) { ::EnableWindow(Hwnd(control), enabled); }

bool Enabled(NativeControl* control) { return ::IsWindowEnabled(Hwnd(control)) != FALSE; }

bool Visible(NativeControl* control) { return (::GetWindowLongPtrA(Hwnd(control), GWL_STYLE) & WS_VISIBLE) != 0; }

Bounds GetBounds(NativeControl* control) {
  RECT r{};
  ::GetWindowRect(Hwnd(control), &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Hwnd(control)), reinterpret_cast<POINT*>(&r), 2);
  return Bounds{Unscaled(r.left), Unscaled(r.top), Unscaled(r.right - r.left), Unscaled(r.bottom - r.top)};
}

void SetAccessibleName(NativeControl* control, std::string_view cp932) {
  AccessibleNames()[Hwnd(control)] = std::string(cp932);
}

std::string AccessibleName(NativeControl* control) {
  const auto found = AccessibleNames().find(Hwnd(control));
  return found == AccessibleNames().end() ? std::string() : found->second;
}

void SetTabOrder(const std::vector<NativeControl*>& order) {
  // The dialog keys follow the children's z-order.
  HWND previous = HWND_TOP;
  for (NativeControl* control : order) {
    const HWND hwnd = Hwnd(control);
    ::SetWindowLongPtrA(hwnd, GWL_STYLE, ::GetWindowLongPtrA(hwnd, GWL_STYLE) | WS_TABSTOP);
    ::SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = hwnd;
  }
}

void SetText(NativeControl* control, std::string_view cp932) { SetWindowTextCp932(Hwnd(control), cp932); }

std::string Text(NativeControl* control) { return WindowTextCp932(Hwnd(control)); }

// Label

NativeControl* MakeLabel(NativeControl* parent, int left, int top) {
  return AsNative(MakeControl("STATIC", SS_LEFT | SS_NOPREFIX, parent, {left, top, 0, 0}));
}

void FitLabelToText(NativeControl* label) {
  const SIZE size = TextSize(Hwnd(label));
  ::SetWindowPos(Hwnd(label), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetLabelCentered(NativeControl* label, bool centered) {
  const HWND hwnd = Hwnd(label);
  LONG_PTR style = ::GetWindowLongPtrA(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
  ::SetWindowLongPtrA(hwnd, GWL_STYLE, style | (centered ? SS_CENTER : SS_LEFT));
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

bool LabelCentered(NativeControl* label) {
  return (::GetWindowLongPtrA(Hwnd(label), GWL_STYLE) & SS_TYPEMASK) == SS_CENTER;
}

// Windows' accessibility names a control from the static text just before
// it in the window order, which the construction order already gives.
void SetLabelBuddy(NativeControl*, NativeControl*) {}

// Buttons, edit field, frames

NativeControl* MakeButton(Button& owner, NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return Built(MakeControl("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, parent, bounds, cp932), &owner);
}

NativeControl* MakeRadioButton(RadioButton& owner, NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return Built(MakeControl("BUTTON", BS_RADIOBUTTON | WS_TABSTOP, parent, bounds, cp932), &owner);
}

void SetChecked(NativeControl* radio, bool checked) {
  ::SendMessageA(Hwnd(radio), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (checked) UncheckSiblings(Hwnd(radio));
}

bool Checked(NativeControl* radio) { return ::SendMessageA(Hwnd(radio), BM_GETCHECK, 0, 0) == BST_CHECKED; }

NativeControl* MakeEdit(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return AsNative(MakeControl("EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, parent, bounds, cp932));
}

NativeControl* MakeGroupBox(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  return AsNative(MakeControl("BUTTON", BS_GROUPBOX, parent, bounds, cp932));
}

NativeControl* MakeBevel(NativeControl* parent, Bounds bounds, BevelShape shape) {
  return AsNative(
      MakeControl("STATIC", shape == BevelShape::Frame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ, parent, bounds));
}

// Message area

NativeControl* MakeRichEdit(NativeControl* parent, Bounds bounds, std::string_view cp932) {
  const HWND box =
      MakeControl(RichEditClass(), ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP, parent, bounds);
  SetMessageText(box, cp932);
  // The window font for the whole text, whatever it is set to later
  // (twips at 96 dots per inch).
  if (RichEditAvailable()) SetRichEditFont(box, Form::kFontFamily, Form::kFontPixels * 15);
  return AsNative(box);
}

void SetRichText(NativeControl* box, std::string_view cp932) {
  SetMessageText(Hwnd(box), cp932);
  ::SendMessageA(Hwnd(box), EM_SETMODIFY, FALSE, 0);
}

std::string RichText(NativeControl* box) {
  // The control ends paragraphs with a carriage return (and a line feed).
  const std::string text = WindowTextCp932(Hwnd(box));
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool RichTextEdited(NativeControl* box) { return ::SendMessageA(Hwnd(box), EM_GETMODIFY, 0, 0) != 0; }

void PaintTextNow(NativeControl* box) { ::RedrawWindow(Hwnd(box), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

void RepaintNow(NativeControl* box) {
  ::RedrawWindow(Hwnd(box), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// Progress bar

NativeControl* MakeProgressBar(NativeControl* parent, Bounds bounds) {
  return AsNative(MakeControl(PROGRESS_CLASSA, 0, parent, bounds));
}

void SetRange(NativeControl* bar, int min, int max) {
  ::SendMessageA(Hwnd(bar), PBM_SETRANGE32, static_cast<WPARAM>(min), max);
}

int RangeMin(NativeControl* bar) { return static_cast<int>(::SendMessageA(Hwnd(bar), PBM_GETRANGE, TRUE, 0)); }

int RangeMax(NativeControl* bar) { return static_cast<int>(::SendMessageA(Hwnd(bar), PBM_GETRANGE, FALSE, 0)); }

void SetPosition(NativeControl* bar, int position) {
  ::SendMessageA(Hwnd(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int Position(NativeControl* bar) { return static_cast<int>(::SendMessageA(Hwnd(bar), PBM_GETPOS, 0, 0)); }

}  // namespace native

}  // namespace tk
