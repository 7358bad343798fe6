// The menus' items as the toolkit keeps them, the same on every back-end:
// caption, shortcut, visibility and handler live here, and the back-end's
// menu only shows them (a Win32 menu drops an item that is hidden, so it
// is put back by its place among the visible items). Toolkit only.
// Threads: window thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/toolkit/form.h"
#include "app/toolkit/menu.h"

namespace tk {

// The back-end's own menu (the menu bar, a menu of it, the context menu)
// and its own object behind one item, if it has one.
struct NativeMenu;
struct NativeMenuEntry;

struct NativeMenuItem {
  FormWindow* window;
  NativeMenu* owner;               // the menu the item belongs to
  NativeMenu* submenu = nullptr;   // the menu the item opens, for a menu of the menu bar
  NativeMenuEntry* entry = nullptr;
  int id;                          // the order it was added in, within its window
  std::string caption;             // CP932
  std::string shortcut;            // "Ctrl+X", empty when none
  bool visible = true;
  std::function<void()> onClick;
};

// Every item of one window, in the order added.
class MenuBook {
 public:
  explicit MenuBook(FormWindow& window) : window_(window) {}
  MenuBook(const MenuBook&) = delete;
  MenuBook& operator=(const MenuBook&) = delete;

  NativeMenuItem& Add(NativeMenu* owner, std::string_view caption, bool opensMenu);
  // Where the item stands in its menu when only the visible items are in it.
  int PositionOf(const NativeMenuItem& item) const;
  // A plain item (one that opens no menu) by its id; nullptr when none.
  NativeMenuItem* ById(int id) const;
  // Like any context menu, one whose items are all invisible does not open.
  bool AnyVisibleIn(const NativeMenu* menu) const;
  const std::vector<std::unique_ptr<NativeMenuItem>>& Items() const { return items_; }

 private:
  FormWindow& window_;
  std::vector<std::unique_ptr<NativeMenuItem>> items_;
};

// A visible item's click, as chosen from a menu, by its shortcut or by
// Trigger; nothing for an invisible one.
void Choose(NativeMenuItem& item);

namespace native {

MenuBook& Menus(FormWindow& window);
NativeMenu* MenuBar(FormWindow& window);
NativeMenu* PopupMenu(FormWindow& window);
// Puts a new item at the end of its menu; for one that opens a menu, also
// makes that menu (item.submenu).
void PutMenuItem(NativeMenuItem& item, bool opensMenu);
// Shows the item's caption, shortcut and visibility in its menu.
void RefreshMenuItem(NativeMenuItem& item);

}  // namespace native

}  // namespace tk
