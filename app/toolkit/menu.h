// Menu bar, context menu and their items. Threads: as controls.h.
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
  void SetVisible(bool visible);
  bool Visible() const;
  void SetShortcut(std::string_view keys);  // "Ctrl+X"
  std::string Shortcut() const;
  void OnClick(std::function<void()> handler);
  void Trigger();  // as the operator would
  QAction* Action() const { return action_; }

 private:
  QAction* action_;
};

}  // namespace tk
