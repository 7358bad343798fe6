// A fixed-size top-level window: menu bar, a client area where the controls
// are placed, a context menu, a close handler.
// Threads: construction and destruction on the window thread; operations
// from any thread run on the window thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/toolkit/controls.h"
#include "app/toolkit/menu.h"

namespace tk {

enum class CloseAction { Free, None };  // None refuses the close

// The back-end's own window behind a Form (a QMainWindow, or the Win32
// window and its menus); only the back-end and its tests look inside.
class FormWindow;
// Made and destroyed by the back-end, which alone knows its window.
struct FormWindowDeleter {
  void operator()(FormWindow* window) const;
};

class Form {
 public:
  // The family the window's font asks for; it resolves to an installed
  // Japanese font (Qt: a substitution; Wine: its font replacements), else
  // to a fixed-pitch one.
  static constexpr const char8_t* kFontFamily = u8"ＭＳ Ｐゴシック";
  static constexpr int kFontPixels = 12;

  // Fixed single border, minimise only, stays on top, centred when shown.
  Form(int clientWidth, int clientHeight);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  NativeControl* Client() const;
  FormWindow& Window() const { return *window_; }

  // Shows the window (centred the first time).
  void Show();
  bool Shown() const;
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
  // What the back-end calls when the window is asked to close: true when it
  // may close.
  bool RunCloseHandler();

  // The height the title bar and the frame add, as the platform reports it.
  virtual int FrameHeight() const;

  // While held, the end of the session (logoff, shutdown) is refused where
  // the system asks the programs first (Windows: WM_QUERYENDSESSION; Vista
  // and later show `reasonCp932` to the user). Qt: nothing more is needed,
  // as the run's inhibitor lock keeps the session from ending on Linux.
  void HoldSessionEnd(std::string_view reasonCp932);
  void ReleaseSessionEnd();
  bool SessionEndHeld() const;  // window thread
  std::string SessionEndReason() const;  // window thread
  // What runs on the window thread when the session ends all the same while
  // held (forced past the refusal); it may end the process. Replaces the
  // previous handler.
  void OnSessionEnding(std::function<void()> handler);
  // What the back-end calls when the session ends while held.
  void RunSessionEnding();

 private:
  std::unique_ptr<FormWindow, FormWindowDeleter> window_;
  std::function<void(CloseAction&)> onClose_;  // window thread only
  bool sessionEndHeld_ = false;                // window thread only
  std::string sessionEndReason_;               // window thread only
  std::function<void()> onSessionEnding_;      // window thread only
};

}  // namespace tk
