#include "app/toolkit/qt/form_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <mutex>

#include "app/toolkit/qt/cut_off.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"
#include "app/toolkit/native.h"

namespace tk {

namespace {

QString Utf8(const char8_t* text) { return QString::fromUtf8(reinterpret_cast<const char*>(text)); }

// The window's font family does not exist outside Windows; let it resolve
// to the Japanese Gothic faces that the system provides.
void SubstituteFont() {
  static std::once_flag once;
  std::call_once(once, [] {
    QFont::insertSubstitutions(Utf8(Form::kFontFamily), {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"});
  });
}

}  // namespace

FormWindow::FormWindow(Form& form, int clientWidth, int clientHeight)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint),
      form_(form),
      clientWidth_(clientWidth),
      designedClientHeight_(clientHeight),
      client_(new QWidget(this)),
      popup_(new QMenu(this)) {
  SubstituteFont();
  QFont font(Utf8(Form::kFontFamily));
  font.setPixelSize(Form::kFontPixels);
  client_->setFont(font);
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  // The menu bar belongs inside the window: its height is part of the outer height.
  menuBar()->setNativeMenuBar(false);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, &FormWindow::ShowPopup);
  // A control asks whether it wants a key itself before any shortcut runs,
  // and the question travels up to its window; only a filter on the
  // application sees every step (a combo box hands it to its edit field
  // directly). Removed with the window.
  QCoreApplication::instance()->installEventFilter(this);
  Relayout();
}

void FormWindow::SetOuterHeight(int height) {
  outerHeight_ = height;
  Relayout();
}

void FormWindowDeleter::operator()(FormWindow* window) const { delete window; }

namespace native {

FormWindow* MakeFormWindow(Form& form, int clientWidth, int clientHeight) {
  return new FormWindow(form, clientWidth, clientHeight);
}

NativeControl* FormClient(FormWindow& window) { return AsNative(window.Client()); }

void ShowForm(FormWindow& window) { window.show(); }

bool FormShown(FormWindow& window) { return window.isVisible(); }

void SetFormCaption(FormWindow& window, std::string_view cp932) { window.setWindowTitle(FromCp932(cp932)); }

std::string FormCaption(FormWindow& window) { return ToCp932(window.windowTitle()); }

void SetFormOuterHeight(FormWindow& window, int height) { window.SetOuterHeight(height); }

int FormOuterHeight(const Form& form) { return form.Window().height() + form.FrameHeight(); }

int FormFrameHeight(FormWindow& window) { return window.PlatformFrameHeight(); }

void CloseForm(FormWindow& window) { window.close(); }

// The run's inhibitor lock holds the session back on Linux.
void TellSystemSessionEndHold(Form&) {}

}  // namespace native

void FormWindow::closeEvent(QCloseEvent* event) {
  if (form_.RunCloseHandler())
    event->accept();
  else
    event->ignore();
}

void FormWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window manager that decorates the window reports the frame once it
  // has mapped it, and does not always move the window while doing so: the
  // first exposure is the first moment the frame is sure to be known.
  if (!watchingExposure_ && windowHandle() != nullptr) {
    windowHandle()->installEventFilter(this);
    watchingExposure_ = true;
  }
  Relayout();
  if (frameLooksLeft_ == 0) {
    frameLooksLeft_ = kFrameLooks;
    frameStableLooks_ = 0;
    lastFrameHeight_ = form_.FrameHeight();
    QTimer::singleShot(kFrameLookIntervalMs, this, &FormWindow::WatchFrame);
  }
  if (!centred_ && screen() != nullptr) {
    centred_ = true;
    const QRect area = screen()->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
  }
}

void FormWindow::WatchFrame() {
  if (!isVisible()) {
    frameLooksLeft_ = 0;
    return;
  }
  const int frame = form_.FrameHeight();
  Relayout();
  // A frame of nothing may still be on its way; one that has stayed the
  // same for a while is the window manager's last word.
  frameStableLooks_ = (frame == lastFrameHeight_ && frame > 0) ? frameStableLooks_ + 1 : 0;
  lastFrameHeight_ = frame;
  if (--frameLooksLeft_ <= 0 || frameStableLooks_ >= kFrameStableLooks) {
    frameLooksLeft_ = 0;
    return;
  }
  QTimer::singleShot(kFrameLookIntervalMs, this, &FormWindow::WatchFrame);
}

bool FormWindow::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // A window manager reports the frame only after the window is mapped,
  // usually with a move; the cut must then be made again.
  if (event->type() == QEvent::Move || event->type() == QEvent::WindowStateChange) Relayout();
  return handled;
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  // The receiver is looked at before the event: events other threads post
  // (the hand-over's wake-ups) go to other receivers, and were they read
  // here, ThreadSanitizer would see their making and this read unordered,
  // since the queue they came through is locked inside uninstrumented Qt.
  if (watched == windowHandle()) {
    if (event->type() == QEvent::Expose) Relayout();
  } else if (auto* widget = qobject_cast<QWidget*>(watched);
             widget != nullptr && widget != this && widget->window() == this) {
    if (event->type() == QEvent::ShortcutOverride && IsItemShortcut(*static_cast<QKeyEvent*>(event))) {
      event->ignore();  // not wanted by the control: the shortcut runs
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool FormWindow::IsItemShortcut(const QKeyEvent& key) const {
  const QKeySequence pressed(key.keyCombination());
  const auto items = actions();
  return std::any_of(items.begin(), items.end(), [&](const QAction* a) {
    return a->isVisible() && a->isEnabled() && !a->shortcut().isEmpty() &&
           a->shortcut().matches(pressed) == QKeySequence::ExactMatch;
  });
}

int FormWindow::PlatformFrameHeight() const {
  if (!isVisible()) return 0;
  // Asked of the native window each time: the widget keeps the frame it
  // saw at the last move, which may be from before the window manager set it.
  if (const QWindow* window = windowHandle()) {
    const QMargins frame = window->frameMargins();
    return std::max(0, frame.top() + frame.bottom());
  }
  return std::max(0, frameGeometry().height() - geometry().height());
}

int FormWindow::MenuBarHeight() const {
  const QMenuBar* bar = menuBar();
  return bar->hasHeightForWidth() ? bar->heightForWidth(clientWidth_) : bar->sizeHint().height();
}

void FormWindow::Relayout() {
  const int menuHeight = MenuBarHeight();
  const int clientHeight =
      std::max(0, outerHeight_ < 0 ? designedClientHeight_ : outerHeight_ - form_.FrameHeight() - menuHeight);
  if (client_->size() == QSize(clientWidth_, clientHeight) && height() == clientHeight + menuHeight) return;
  client_->setFixedSize(clientWidth_, clientHeight);
  setFixedSize(clientWidth_, clientHeight + menuHeight);
  HideCutOffControls(*client_);
}

void FormWindow::ShowPopup(const QPoint& at) {
  if (!menus_.AnyVisibleIn(AsNativeMenu(popup_))) return;
  popup_->popup(mapToGlobal(at));
}

}  // namespace tk
