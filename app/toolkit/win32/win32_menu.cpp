// Menus of the Win32 back-end. A Win32 menu has no hidden items: hiding one
// removes it from its menu, showing it again inserts it back at its place
// among the visible items.
#include <cctype>

#include "app/toolkit/win32/win32_native.h"

namespace tk {

namespace {

// "Ctrl+X" -> 'X'; 0 for anything else.
UINT ShortcutKey(const std::string& shortcut) {
  constexpr std::string_view kCtrl = "Ctrl+";
  if (shortcut.size() != kCtrl.size() + 1 || shortcut.compare(0, kCtrl.size(), kCtrl) != 0) return 0;
  return static_cast<UINT>(std::toupper(static_cast<unsigned char>(shortcut.back())));
}

}  // namespace

bool FormWindow::Shortcut(UINT virtualKey) {
  for (const auto& item : menus_.Items()) {
    if (item->visible && !item->submenu && ShortcutKey(item->shortcut) == virtualKey) {
      Choose(*item);
      return true;
    }
  }
  return false;
}

void FormWindow::ShowPopup(int x, int y) {
  if (!menus_.AnyVisibleIn(AsNativeMenu(popup_))) return;
  if (x == -1 && y == -1) {  // from the keyboard: at the window's corner
    POINT corner{0, 0};
    ::ClientToScreen(hwnd_, &corner);
    x = corner.x;
    y = corner.y;
  }
  ::TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, hwnd_, nullptr);
}

namespace native {

MenuBook& Menus(FormWindow& window) { return window.Menus(); }

NativeMenu* MenuBar(FormWindow& window) { return AsNativeMenu(window.MenuBar()); }

NativeMenu* PopupMenu(FormWindow& window) { return AsNativeMenu(window.Popup()); }

void PutMenuItem(NativeMenuItem& item, bool opensMenu) {
  const HMENU owner = Hmenu(item.owner);
  if (opensMenu) item.submenu = AsNativeMenu(::CreatePopupMenu());
  const UINT_PTR what = opensMenu ? reinterpret_cast<UINT_PTR>(Hmenu(item.submenu)) : CommandOf(item);
  InsertMenuCp932(owner, static_cast<UINT>(::GetMenuItemCount(owner)), MF_STRING | (opensMenu ? MF_POPUP : 0), what,
                  item.caption);
  if (owner == item.window->MenuBar()) ::DrawMenuBar(item.window->Handle());
}

void RefreshMenuItem(NativeMenuItem& item) {
  const HMENU owner = Hmenu(item.owner), submenu = Hmenu(item.submenu);
  std::string text = item.caption;
  if (!item.shortcut.empty()) text += "\t" + item.shortcut;
  const UINT flags = MF_STRING | (submenu ? MF_POPUP : 0);
  const UINT_PTR what = submenu ? reinterpret_cast<UINT_PTR>(submenu) : CommandOf(item);
  // Take it out wherever it is (a submenu is kept, not destroyed, by RemoveMenu).
  const int count = ::GetMenuItemCount(owner);
  for (int i = 0; i < count; ++i) {
    const bool match = submenu ? ::GetSubMenu(owner, i) == submenu : ::GetMenuItemID(owner, i) == CommandOf(item);
    if (match) {
      ::RemoveMenu(owner, static_cast<UINT>(i), MF_BYPOSITION);
      break;
    }
  }
  if (item.visible) InsertMenuCp932(owner, static_cast<UINT>(item.window->Menus().PositionOf(item)), flags, what, text);
  if (owner == item.window->MenuBar()) ::DrawMenuBar(item.window->Handle());
}

}  // namespace native

}  // namespace tk
