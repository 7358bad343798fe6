// Menu items and the menus' bookkeeping, the same on every back-end
// (menu_book.h); the back-end only shows the items.
#include "app/toolkit/menu.h"

#include <algorithm>

#include "app/toolkit/menu_book.h"
#include "app/toolkit/window_thread.h"

namespace tk {

NativeMenuItem& MenuBook::Add(NativeMenu* owner, std::string_view caption, bool opensMenu) {
  auto item = std::make_unique<NativeMenuItem>();
  item->window = &window_;
  item->owner = owner;
  item->id = static_cast<int>(items_.size());
  item->caption = std::string(caption);
  items_.push_back(std::move(item));
  NativeMenuItem& added = *items_.back();
  native::PutMenuItem(added, opensMenu);
  return added;
}

int MenuBook::PositionOf(const NativeMenuItem& item) const {
  int position = 0;
  for (const auto& other : items_) {
    if (other.get() == &item) break;
    if (other->owner == item.owner && other->visible) ++position;
  }
  return position;
}

NativeMenuItem* MenuBook::ById(int id) const {
  if (id < 0 || id >= static_cast<int>(items_.size()) || items_[id]->submenu != nullptr) return nullptr;
  return items_[id].get();
}

bool MenuBook::AnyVisibleIn(const NativeMenu* menu) const {
  return std::any_of(items_.begin(), items_.end(),
                     [&](const auto& item) { return item->owner == menu && item->visible; });
}

void Choose(NativeMenuItem& item) {
  if (!item.visible) return;
  if (auto call = item.onClick) call();  // a copy: it may replace itself
}

// Form's menu operations

MenuItem Form::AddMenu(std::string_view caption) {
  return CallOnWindowThread(
      [&] { return MenuItem(&native::Menus(*window_).Add(native::MenuBar(*window_), caption, true)); });
}

MenuItem Form::AddMenuItem(const MenuItem& menu, std::string_view caption) {
  return CallOnWindowThread(
      [&] { return MenuItem(&native::Menus(*window_).Add(menu.Native()->submenu, caption, false)); });
}

MenuItem Form::AddPopupItem(std::string_view caption) {
  return CallOnWindowThread(
      [&] { return MenuItem(&native::Menus(*window_).Add(native::PopupMenu(*window_), caption, false)); });
}

// MenuItem

void MenuItem::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] {
    item_->caption = std::string(cp932);
    native::RefreshMenuItem(*item_);
  });
}

std::string MenuItem::Caption() const {
  return CallOnWindowThread([&] { return item_->caption; });
}

void MenuItem::SetVisible(bool visible) {
  RunOnWindowThread([&] {
    if (item_->visible == visible) return;
    item_->visible = visible;
    native::RefreshMenuItem(*item_);
  });
}

bool MenuItem::Visible() const {
  return CallOnWindowThread([&] { return item_->visible; });
}

void MenuItem::SetShortcut(std::string_view keys) {
  RunOnWindowThread([&] {
    item_->shortcut = std::string(keys);
    native::RefreshMenuItem(*item_);
  });
}

std::string MenuItem::Shortcut() const {
  return CallOnWindowThread([&] { return item_->shortcut; });
}

void MenuItem::OnClick(std::function<void()> handler) {
  RunOnWindowThread([&] { item_->onClick = std::move(handler); });
}

void MenuItem::Trigger() {
  RunOnWindowThread([&] { Choose(*item_); });
}

}  // namespace tk
