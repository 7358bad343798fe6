// The editable combo box of the Win32 back-end (COMBOBOX, CBS_DROPDOWN).
// Setting the current item or the text programmatically sends no
// notification; the operator's pick (CBN_SELCHANGE) and edit
// (CBN_EDITCHANGE) reach the change handler through the form's window
// procedure (ControlAccess::Command).
#include <vector>

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

std::string ItemText(HWND box, int index) {
  if (!WideTextWorks()) {
    const LRESULT size = ::SendMessageA(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (size == CB_ERR || size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    ::SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(bytes.data()));
    bytes.resize(static_cast<std::size_t>(size));
    return bytes;
  }
  const LRESULT length = ::SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  return FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(length)));
}

}  // namespace

ComboBox::ComboBox(NativeControl* parent, Bounds bounds)
    : Control(AsNative(MakeControl(L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, parent,
                                   WithList(bounds)))) {
  ::SetWindowLongPtrW(Hwnd(*this), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<Control*>(this)));
}

void ComboBox::AddItem(std::string_view cp932) {
  // The first item of an empty box does not become current: none is until set.
  RunOnWindowThread([&] {
    if (WideTextWorks())
      ::SendMessageW(Hwnd(*this), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(cp932).c_str()));
    else
      ::SendMessageA(Hwnd(*this), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(cp932).c_str()));
  });
}

int ComboBox::ItemCount() const {
  return CallOnWindowThread([&] { return static_cast<int>(::SendMessageW(Hwnd(*this), CB_GETCOUNT, 0, 0)); });
}

std::string ComboBox::Item(int index) const {
  return CallOnWindowThread([&] { return ItemText(Hwnd(*this), index); });
}

std::string ComboBox::Text() const {
  return CallOnWindowThread([&] { return WindowTextCp932(Hwnd(*this)); });
}

void ComboBox::SetItemIndex(int index) {
  RunOnWindowThread([&] {
    edited_ = false;
    ::SendMessageW(Hwnd(*this), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A line longer than the field shows its start, the adapter and target.
    ::SendMessageW(Hwnd(*this), CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
  });
}

int ComboBox::ItemIndex() const {
  return CallOnWindowThread([&] {
    if (edited_) return -1;
    const LRESULT index = ::SendMessageW(Hwnd(*this), CB_GETCURSEL, 0, 0);
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
    ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
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
