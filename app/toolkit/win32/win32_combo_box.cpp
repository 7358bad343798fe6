// The editable combo box of the Win32 back-end (COMBOBOX, CBS_DROPDOWN).
// Setting the current item or the text programmatically sends no
// notification; the operator's pick (CBN_SELCHANGE) and edit
// (CBN_EDITCHANGE) reach the change handler through the form's window
// procedure (ControlAccess::Command).
#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

// The list drops below the field; the height given is the field's.
constexpr int kListHeight = 160;

Bounds WithList(Bounds bounds) {
  bounds.height += kListHeight;
  return bounds;
}

}  // namespace

ComboBox::ComboBox(NativeControl* parent, Bounds bounds)
    : Control(AsNative(MakeControl("COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, parent,
                                   WithList(bounds)))) {
  ::SetWindowLongPtrA(Hwnd(*this), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<Control*>(this)));
}

void ComboBox::AddItem(std::string_view cp932) {
  // The first item of an empty box does not become current: none is until set.
  RunOnWindowThread([&] {
    AddComboItemCp932(Hwnd(*this), cp932);
  });
}

int ComboBox::ItemCount() const {
  return CallOnWindowThread([&] { return static_cast<int>(::SendMessageA(Hwnd(*this), CB_GETCOUNT, 0, 0)); });
}

std::string ComboBox::Item(int index) const {
  return CallOnWindowThread([&] { return ComboItemCp932(Hwnd(*this), index); });
}

std::string ComboBox::Text() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

void ComboBox::SetItemIndex(int index) {
  RunOnWindowThread([&] {
    edited_ = false;
    ::SendMessageA(Hwnd(*this), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A line longer than the field shows its start, the adapter and target.
    ::SendMessageA(Hwnd(*this), CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
  });
}

int ComboBox::ItemIndex() const {
  return CallOnWindowThread([&] {
    if (edited_) return -1;
    const LRESULT index = ::SendMessageA(Hwnd(*this), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
  });
}

void ComboBox::OnChange(Handler handler) {
  RunOnWindowThread([&] { onChange_ = std::move(handler); });
}

void ComboBox::Pick(int index) {
  RunOnWindowThread([&] {
    const HWND box = Hwnd(*this);
    if (!::IsWindowEnabled(box) || index < 0 || index >= ItemCount()) return;
    ::SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ControlAccess::Command(*this, CBN_SELCHANGE);
  });
}

void ComboBox::TypeText(std::string_view cp932) {
  RunOnWindowThread([&] {
    const HWND box = Hwnd(*this);
    if (!::IsWindowEnabled(box)) return;
    SetWindowTextCp932(box, cp932);
    ControlAccess::Command(*this, CBN_EDITCHANGE);
  });
}

}  // namespace tk
