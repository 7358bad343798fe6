// The Qt window behind a tk::Form. Qt back-end only (and its tests).
// Threads: window thread.
#pragma once

#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>

#include "app/toolkit/form.h"
#include "app/toolkit/menu_book.h"

namespace tk {

class FormWindow : public QMainWindow {
  Q_OBJECT

 public:
  FormWindow(Form& form, int clientWidth, int clientHeight);
  QWidget* Client() const { return client_; }
  QMenu* PopupMenu() const { return popup_; }
  MenuBook& Menus() { return menus_; }

  void SetOuterHeight(int height);
  // The frame height as the platform reports it (0 while hidden).
  int PlatformFrameHeight() const;
  // Sizes the client area and the window from the designed client height,
  // or from the outer height once one is set.
  void Relayout();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int MenuBarHeight() const;
  void ShowPopup(const QPoint& at);
  bool IsItemShortcut(const QKeyEvent& key) const;

  Form& form_;
  int clientWidth_;
  int designedClientHeight_;
  QWidget* client_;
  QMenu* popup_;
  MenuBook menus_{*this};
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
};

}  // namespace tk
