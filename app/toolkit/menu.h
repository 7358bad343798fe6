// Menu bar, context menu and their items. Threads: as controls.h. A menu of
// the menu bar is itself a MenuItem (its caption is the menu's title).
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QAction;
class QMenu;

namespace tk {

class MenuItem {
 public:
  explicit MenuItem(QAction* action) : action_(action) {}
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
  QAction* Action() const { return action_; }
  QMenu* Menu() const;  // the menu this item opens, nullptr for a plain item

 private:
  QAction* action_;
};

}  // namespace tk
