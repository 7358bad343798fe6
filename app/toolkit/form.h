// A fixed-size top-level window: menu bar, a client area where the controls
// are placed, a context menu, a close handler.
// Threads: construction and destruction on the window thread; operations
// from any thread run on the window thread.
#pragma once

#include <QKeyEvent>
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
  // The family the window's font asks for; it resolves to an installed
  // Japanese font.
  static constexpr const char8_t* kFontFamily = u8"ＭＳ Ｐゴシック";
  static constexpr int kFontPixels = 12;

  // Fixed single border, minimise only, stays on top, centred when shown.
  Form(int clientWidth, int clientHeight);
  QWidget* Client() const { return client_; }
  QMenu* PopupMenu() const { return popup_; }

  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  // Outer height includes the title bar, the menu bar and the frame, taken
  // from the frame the window really has once it is shown (before that, and
  // where the platform draws no frame, the frame counts as nothing). The
  // client area shrinks or grows by the difference, again whenever the frame
  // may have become known: when the window is shown, exposed or moved.
  void SetOuterHeight(int height);
  int OuterHeight() const;

  // The shortcuts of visible, enabled items win over the control that has
  // the focus: Ctrl+X reaches its menu item even while an edit field,
  // which would take it as Cut, has the focus.
  MenuItem AddMenu(std::string_view caption);  // a menu of the menu bar
  MenuItem AddMenuItem(const MenuItem& menu, std::string_view caption);
  MenuItem AddPopupItem(std::string_view caption);  // the window's context menu

  // Runs the close handler; the window closes unless it sets CloseAction::None.
  // Closing the application's last window ends its event loop.
  void Close();
  // Replaces the previous handler.
  void OnClose(std::function<void(CloseAction&)> handler);

 protected:
  // The height the title bar and the frame add, as the platform reports it.
  virtual int FrameHeight() const;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Sizes the client area and the window from the designed client height,
  // or from the outer height once one is set.
  void Relayout();
  int MenuBarHeight() const;
  void ShowPopup(const QPoint& at);
  bool IsItemShortcut(const QKeyEvent& key) const;

  int clientWidth_;
  int designedClientHeight_;
  QWidget* client_;
  QMenu* popup_;
  int outerHeight_ = -1;  // -1: keep the designed client height
  bool centred_ = false;
  bool watchingExposure_ = false;

  // Some window managers report the frame after the window is mapped
  // without moving or exposing it again; the frame is then looked at a few
  // times more, a short while apart, until it has stayed the same.
  void WatchFrame();
  static constexpr int kFrameLooks = 40;
  static constexpr int kFrameLookIntervalMs = 50;
  static constexpr int kFrameStableLooks = 4;
  int frameLooksLeft_ = 0;
  int frameStableLooks_ = 0;
  int lastFrameHeight_ = -1;
  std::function<void(CloseAction&)> onClose_;
};

}  // namespace tk
