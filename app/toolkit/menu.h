// Menu bar, context menu and their items. Threads: as controls.h. A menu of
// the menu bar is itself a MenuItem (its caption is the menu's title).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tk {

// The back-end's own object behind an item (a QAction, or the Win32 item's
// state); only the back-end and its tests look inside.
struct NativeMenuItem;

class MenuItem {
 public:
  explicit MenuItem(NativeMenuItem* item) : item_(item) {}
  void SetCaption(std::string_view cp932);  // '&' marks the accelerator
  std::string Caption() const;
  // An invisible item can be neither chosen nor reached by its shortcut.
  void SetVisible(bool visible);
  bool Visible() const;
  void SetShortcut(std::string_view keys);  // "Ctrl+X"
  std::string Shortcut() const;             // "Ctrl+X", empty when none
  // Replaces the previous handler.
  void OnClick(std::function<void()> handler);
  void Trigger();  // as the operator would: nothing when invisible or disabled
  NativeMenuItem* Native() const { return item_; }

 private:
  NativeMenuItem* item_;
};

}  // namespace tk
