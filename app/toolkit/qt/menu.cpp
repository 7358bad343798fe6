#include "app/toolkit/menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QVariant>

#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

// The handler lives in a child object of the action, so that MenuItem stays
// a plain value that can be copied around.
class ClickHandler final : public QObject {
 public:
  ClickHandler(QAction* action, std::function<void()> handler)
      : QObject(action), handler_(std::move(handler)) {
    connect(action, &QAction::triggered, this, [this] {
      if (auto call = handler_) call();
    });
  }

 private:
  std::function<void()> handler_;
};

}  // namespace

void MenuItem::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { QtAction(*this)->setText(FromCp932(cp932)); });
}

std::string MenuItem::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(QtAction(*this)->text()); });
}

void MenuItem::SetVisible(bool visible) {
  RunOnWindowThread([&] { QtAction(*this)->setVisible(visible); });
}

bool MenuItem::Visible() const {
  return CallOnWindowThread([&] { return QtAction(*this)->isVisible(); });
}

void MenuItem::SetShortcut(std::string_view keys) {
  RunOnWindowThread([&] {
    QtAction(*this)->setShortcut(QKeySequence(QString::fromLatin1(keys.data(), static_cast<qsizetype>(keys.size())),
                                      QKeySequence::PortableText));
  });
}

std::string MenuItem::Shortcut() const {
  return CallOnWindowThread(
      [&] { return QtAction(*this)->shortcut().toString(QKeySequence::PortableText).toStdString(); });
}

void MenuItem::OnClick(std::function<void()> handler) {
  RunOnWindowThread([&] {
    // The old handler may be the one running now: detach it, delete it later.
    for (auto* old : QtAction(*this)->findChildren<ClickHandler*>(Qt::FindDirectChildrenOnly)) {
      QObject::disconnect(QtAction(*this), nullptr, old, nullptr);
      old->deleteLater();
    }
    new ClickHandler(QtAction(*this), std::move(handler));
  });
}

void MenuItem::Trigger() {
  RunOnWindowThread([&] {
    if (QtAction(*this)->isVisible() && QtAction(*this)->isEnabled()) QtAction(*this)->trigger();
  });
}

}  // namespace tk
