#include "app/toolkit/form.h"

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

#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"

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

Form::Form(int clientWidth, int clientHeight)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint),
      clientWidth_(clientWidth),
      designedClientHeight_(clientHeight),
      client_(new QWidget(this)),
      popup_(new QMenu(this)) {
  SubstituteFont();
  QFont font(Utf8(kFontFamily));
  font.setPixelSize(kFontPixels);
  client_->setFont(font);
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  // The menu bar belongs inside the window: its height is part of the outer height.
  menuBar()->setNativeMenuBar(false);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, &Form::ShowPopup);
  // A control asks whether it wants a key itself before any shortcut runs,
  // and the question travels up to its window; only a filter on the
  // application sees every step (a combo box hands it to its edit field
  // directly). Removed with the window.
  QCoreApplication::instance()->installEventFilter(this);
  Relayout();
}

void Form::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { setWindowTitle(FromCp932(cp932)); });
}

std::string Form::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(windowTitle()); });
}

void Form::SetOuterHeight(int height) {
  RunOnWindowThread([&] {
    outerHeight_ = height;
    Relayout();
  });
}

int Form::OuterHeight() const {
  return CallOnWindowThread([&] { return height() + FrameHeight(); });
}

MenuItem Form::AddMenu(std::string_view caption) {
  return CallOnWindowThread([&] {
    QMenu* menu = menuBar()->addMenu(FromCp932(caption));
    Relayout();  // the menu bar may have grown
    return MenuItem(menu->menuAction());
  });
}

MenuItem Form::AddMenuItem(const MenuItem& menu, std::string_view caption) {
  return CallOnWindowThread([&] {
    QMenu* parent = menu.Action()->menu();
    QAction* action = parent->addAction(FromCp932(caption));
    // Reachable by its shortcut while the menu is closed.
    addAction(action);
    return MenuItem(action);
  });
}

MenuItem Form::AddPopupItem(std::string_view caption) {
  return CallOnWindowThread([&] {
    QAction* action = popup_->addAction(FromCp932(caption));
    // A context menu's shortcuts work while the menu is closed. Qt disables
    // the shortcut of an invisible action.
    addAction(action);
    return MenuItem(action);
  });
}

void Form::Close() {
  RunOnWindowThread([&] { close(); });
}

void Form::OnClose(std::function<void(CloseAction&)> handler) {
  RunOnWindowThread([&] { onClose_ = std::move(handler); });
}

void Form::closeEvent(QCloseEvent* event) {
  CloseAction action = CloseAction::Free;
  if (auto call = onClose_) call(action);
  if (action == CloseAction::None)
    event->ignore();
  else
    event->accept();
}

void Form::showEvent(QShowEvent* event) {
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
    lastFrameHeight_ = FrameHeight();
    QTimer::singleShot(kFrameLookIntervalMs, this, &Form::WatchFrame);
  }
  if (!centred_ && screen() != nullptr) {
    centred_ = true;
    const QRect area = screen()->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
  }
}

void Form::WatchFrame() {
  if (!isVisible()) {
    frameLooksLeft_ = 0;
    return;
  }
  const int frame = FrameHeight();
  Relayout();
  // A frame of nothing may still be on its way; one that has stayed the
  // same for a while is the window manager's last word.
  frameStableLooks_ = (frame == lastFrameHeight_ && frame > 0) ? frameStableLooks_ + 1 : 0;
  lastFrameHeight_ = frame;
  if (--frameLooksLeft_ <= 0 || frameStableLooks_ >= kFrameStableLooks) {
    frameLooksLeft_ = 0;
    return;
  }
  QTimer::singleShot(kFrameLookIntervalMs, this, &Form::WatchFrame);
}

bool Form::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // A window manager reports the frame only after the window is mapped,
  // usually with a move; the cut must then be made again.
  if (event->type() == QEvent::Move || event->type() == QEvent::WindowStateChange) Relayout();
  return handled;
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && watched == windowHandle()) Relayout();
  if (event->type() == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget != this && widget->window() == this &&
        IsItemShortcut(*static_cast<QKeyEvent*>(event))) {
      event->ignore();  // not wanted by the control: the shortcut runs
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool Form::IsItemShortcut(const QKeyEvent& key) const {
  const QKeySequence pressed(key.keyCombination());
  const auto items = actions();
  return std::any_of(items.begin(), items.end(), [&](const QAction* a) {
    return a->isVisible() && a->isEnabled() && !a->shortcut().isEmpty() &&
           a->shortcut().matches(pressed) == QKeySequence::ExactMatch;
  });
}

int Form::FrameHeight() const {
  if (!isVisible()) return 0;
  // Asked of the native window each time: the widget keeps the frame it
  // saw at the last move, which may be from before the window manager set it.
  if (const QWindow* window = windowHandle()) {
    const QMargins frame = window->frameMargins();
    return std::max(0, frame.top() + frame.bottom());
  }
  return std::max(0, frameGeometry().height() - geometry().height());
}

int Form::MenuBarHeight() const {
  const QMenuBar* bar = menuBar();
  return bar->hasHeightForWidth() ? bar->heightForWidth(clientWidth_) : bar->sizeHint().height();
}

void Form::Relayout() {
  const int menuHeight = MenuBarHeight();
  const int clientHeight =
      std::max(0, outerHeight_ < 0 ? designedClientHeight_ : outerHeight_ - FrameHeight() - menuHeight);
  if (client_->size() == QSize(clientWidth_, clientHeight) && height() == clientHeight + menuHeight) return;
  client_->setFixedSize(clientWidth_, clientHeight);
  setFixedSize(clientWidth_, clientHeight + menuHeight);
}

void Form::ShowPopup(const QPoint& at) {
  const auto actions = popup_->actions();
  // Like any context menu, one whose items are all invisible does not open.
  if (std::none_of(actions.begin(), actions.end(), [](QAction* a) { return a->isVisible(); })) return;
  popup_->popup(mapToGlobal(at));
}

}  // namespace tk
