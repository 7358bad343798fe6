// A fixed-size top-level window: menu bar, a client area where the controls
// are placed, a context menu, a close handler.
// Threads: operations from any thread run on the window thread.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>
#include <string_view>

#include "app/toolkit/menu.h"

namespace tk {

enum class CloseAction { Free, None };  // None refuses the close

class Form : public QMainWindow {
  Q_OBJECT

 public:
  // Fixed single border, minimise only, stays on top, centred when shown.
  Form(int clientWidth, int clientHeight);
  QWidget* Client() const { return client_; }

  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  // Outer height includes the title bar, the menu bar and the frame, taken
  // from the frame the window really has once it is shown.
  void SetOuterHeight(int height);
  int OuterHeight() const;

  MenuItem AddMenu(std::string_view caption);  // a menu of the menu bar
  MenuItem AddMenuItem(const MenuItem& menu, std::string_view caption);
  MenuItem AddPopupItem(std::string_view caption);  // the window's context menu

  // Runs the close handler; the window closes unless it sets CloseAction::None.
  void Close();
  void OnClose(std::function<void(CloseAction&)> handler);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyOuterHeight();

  QWidget* client_;
  QMenu* popup_;
  int outerHeight_ = -1;
  std::function<void(CloseAction&)> onClose_;
};

}  // namespace tk
