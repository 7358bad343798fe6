#include "app/toolkit/menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QVariant>

#include "app/toolkit/text.h"
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
  RunOnWindowThread([&] { action_->setText(FromCp932(cp932)); });
}

std::string MenuItem::Caption() const {
  return CallOnWindowThread([&] { return ToCp932(action_->text()); });
}

void MenuItem::SetVisible(bool visible) {
  RunOnWindowThread([&] { action_->setVisible(visible); });
}

bool MenuItem::Visible() const {
  return CallOnWindowThread([&] { return action_->isVisible(); });
}

void MenuItem::SetShortcut(std::string_view keys) {
  RunOnWindowThread([&] {
    action_->setShortcut(QKeySequence(QString::fromLatin1(keys.data(), static_cast<qsizetype>(keys.size())),
                                      QKeySequence::PortableText));
  });
}

std::string MenuItem::Shortcut() const {
  return CallOnWindowThread(
      [&] { return action_->shortcut().toString(QKeySequence::PortableText).toStdString(); });
}

void MenuItem::OnClick(std::function<void()> handler) {
  RunOnWindowThread([&] {
    // The old handler may be the one running now: detach it, delete it later.
    for (auto* old : action_->findChildren<ClickHandler*>(Qt::FindDirectChildrenOnly)) {
      QObject::disconnect(action_, nullptr, old, nullptr);
      old->deleteLater();
    }
    new ClickHandler(action_, std::move(handler));
  });
}

void MenuItem::Trigger() {
  RunOnWindowThread([&] {
    if (action_->isVisible() && action_->isEnabled()) action_->trigger();
  });
}

QMenu* MenuItem::Menu() const {
  return CallOnWindowThread([&] { return action_->menu(); });
}

}  // namespace tk
