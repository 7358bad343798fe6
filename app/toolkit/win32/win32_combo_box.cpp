// The editable combo box of the Win32 back-end (COMBOBOX, CBS_DROPDOWN).
// Setting the current item or the text programmatically sends no
// notification; the operator's pick (CBN_SELCHANGE) and edit
// (CBN_EDITCHANGE) reach the change handler through the form's window
// procedure (Notify).
#include "app/toolkit/native.h"
#include "app/toolkit/win32/win32_native.h"

namespace tk::native {

namespace {

// The list drops below the field; the height given is the field's.
constexpr int kListHeight = 160;

Bounds WithList(Bounds bounds) {
  bounds.height += kListHeight;
  return bounds;
}

Control& Owner(HWND box) { return *reinterpret_cast<Control*>(::GetWindowLongPtrA(box, GWLP_USERDATA)); }

}  // namespace

NativeControl* MakeComboBox(ComboBox& owner, NativeControl* parent, Bounds bounds) {
  const HWND box = MakeControl("COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, parent,
                               WithList(bounds));
  ::SetWindowLongPtrA(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<Control*>(&owner)));
  return AsNative(box);
}

// A Win32 combo box makes no item current as it adds one.
void AddItem(NativeControl* box, std::string_view cp932) { AddComboItemCp932(Hwnd(box), cp932); }

int ItemCount(NativeControl* box) { return static_cast<int>(::SendMessageA(Hwnd(box), CB_GETCOUNT, 0, 0)); }

std::string Item(NativeControl* box, int index) { return ComboItemCp932(Hwnd(box), index); }

void SetItemIndex(NativeControl* box, int index) {
  ::SendMessageA(Hwnd(box), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // A line longer than the field shows its start, the adapter and target.
  ::SendMessageA(Hwnd(box), CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
}

int ItemIndex(NativeControl* box) {
  const LRESULT index = ::SendMessageA(Hwnd(box), CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void PickItem(NativeControl* box, int index) {
  ::SendMessageA(Hwnd(box), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(Owner(Hwnd(box)), CBN_SELCHANGE);
}

void TypeText(NativeControl* box, std::string_view cp932) {
  SetWindowTextCp932(Hwnd(box), cp932);
  Notify(Owner(Hwnd(box)), CBN_EDITCHANGE);
}

}  // namespace tk::native
