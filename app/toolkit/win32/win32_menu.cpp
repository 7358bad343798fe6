// Menus of the Win32 back-end. A Win32 menu has no hidden items: hiding one
// removes it from its menu, showing it again inserts it back at its place
// among the visible items.
#include <algorithm>
#include <cctype>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

constexpr UINT kFirstItemId = 100;

// "Ctrl+X" -> 'X'; 0 for anything else.
UINT ShortcutKey(const std::string& shortcut) {
  constexpr std::string_view kCtrl = "Ctrl+";
  if (shortcut.size() != kCtrl.size() + 1 || shortcut.compare(0, kCtrl.size(), kCtrl) != 0) return 0;
  return static_cast<UINT>(std::toupper(static_cast<unsigned char>(shortcut.back())));
}

}  // namespace

NativeMenuItem* FormWindow::AddItem(HMENU owner, std::string_view caption, bool opensMenu) {
  auto item = std::make_unique<NativeMenuItem>();
  item->window = this;
  item->owner = owner;
  item->id = kFirstItemId + static_cast<UINT>(items_.size());
  item->caption = std::string(caption);
  if (opensMenu) item->submenu = ::CreatePopupMenu();
  items_.push_back(std::move(item));
  NativeMenuItem& added = *items_.back();
  const UINT_PTR what = opensMenu ? reinterpret_cast<UINT_PTR>(added.submenu) : added.id;
  InsertMenuCp932(owner, static_cast<UINT>(::GetMenuItemCount(owner)), MF_STRING | (opensMenu ? MF_POPUP : 0), what,
                  added.caption);
  if (owner == menuBar_) ::DrawMenuBar(hwnd_);
  return &added;
}

UINT FormWindow::PositionOf(const NativeMenuItem& item) const {
  UINT position = 0;
  for (const auto& other : items_) {
    if (other.get() == &item) break;
    if (other->owner == item.owner && other->visible) ++position;
  }
  return position;
}

void FormWindow::Refresh(NativeMenuItem& item) {
  std::string text = item.caption;
  if (!item.shortcut.empty()) text += "\t" + item.shortcut;
  const UINT flags = MF_STRING | (item.submenu ? MF_POPUP : 0);
  const UINT_PTR what = item.submenu ? reinterpret_cast<UINT_PTR>(item.submenu) : item.id;
  // Take it out wherever it is (a submenu is kept, not destroyed, by RemoveMenu).
  const int count = ::GetMenuItemCount(item.owner);
  for (int i = 0; i < count; ++i) {
    const bool match = item.submenu ? ::GetSubMenu(item.owner, i) == item.submenu
                                    : ::GetMenuItemID(item.owner, i) == item.id;
    if (match) {
      ::RemoveMenu(item.owner, static_cast<UINT>(i), MF_BYPOSITION);
      break;
    }
  }
  if (item.visible) InsertMenuCp932(item.owner, PositionOf(item), flags, what, text);
  if (item.owner == menuBar_) ::DrawMenuBar(hwnd_);
}

NativeMenuItem* FormWindow::ItemById(UINT id) {
  for (const auto& item : items_)
    if (item->id == id && !item->submenu) return item.get();
  return nullptr;
}

void FormWindow::Choose(NativeMenuItem& item) {
  if (!item.visible) return;
  if (auto call = item.onClick) call();
}

bool FormWindow::Shortcut(UINT virtualKey) {
  for (const auto& item : items_) {
    if (item->visible && !item->submenu && ShortcutKey(item->shortcut) == virtualKey) {
      Choose(*item);
      return true;
    }
  }
  return false;
}

void FormWindow::ShowPopup(int x, int y) {
  // Like any context menu, one whose items are all invisible does not open.
  const bool any = std::any_of(items_.begin(), items_.end(),
                               [&](const auto& item) { return item->owner == popup_ && item->visible; });
  if (!any) return;
  if (x == -1 && y == -1) {  // from the keyboard: at the window's corner
    POINT corner{0, 0};
    ::ClientToScreen(hwnd_, &corner);
    x = corner.x;
    y = corner.y;
  }
  ::TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, hwnd_, nullptr);
}

// Form's menu operations

MenuItem Form::AddMenu(std::string_view caption) {
  return CallOnWindowThread([&] { return MenuItem(window_->AddItem(window_->MenuBar(), caption, true)); });
}

MenuItem Form::AddMenuItem(const MenuItem& menu, std::string_view caption) {
  return CallOnWindowThread([&] { return MenuItem(window_->AddItem(menu.Native()->submenu, caption, false)); });
}

MenuItem Form::AddPopupItem(std::string_view caption) {
  return CallOnWindowThread([&] { return MenuItem(window_->AddItem(window_->Popup(), caption, false)); });
}

// MenuItem

void MenuItem::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    item_->caption = std::string(cp932);
    item_->window->Refresh(*item_);
  });
}

std::string MenuItem::Caption() const {
  return CallOnWindowThread([&] { return item_->caption; });
}

void MenuItem::SetVisible(bool visible) {
  RunOnWindowThread([&] {
    if (item_->visible == visible) return;
    item_->visible = visible;
    item_->window->Refresh(*item_);
  });
}

bool MenuItem::Visible() const {
  return CallOnWindowThread([&] { return item_->visible; });
}

void MenuItem::SetShortcut(std::string_view keys) {
  RunOnWindowThread([&] {
    item_->shortcut = std::string(keys);
    item_->window->Refresh(*item_);
  });
}

std::string MenuItem::Shortcut() const {
  return CallOnWindowThread([&] { return item_->shortcut; });
}

void MenuItem::OnClick(std::function<void()> handler) {
  RunOnWindowThread([&] { item_->onClick = std::move(handler); });
}

void MenuItem::Trigger() {
  RunOnWindowThread([&] { item_->window->Choose(*item_); });
}

}  // namespace tk
