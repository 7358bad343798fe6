#include "app/toolkit/qt/cut_off.h"

#include <QVariant>

namespace tk {

namespace {

constexpr const char* kCutOff = "zxCutOff";
// The focus policy a cut-off control had, given back when it fits again:
// a hidden control that kept its policy would still be offered to screen
// readers as focusable.
constexpr const char* kFocusPolicy = "zxFocusPolicy";

}  // namespace

void HideCutOffControls(QWidget& client) {
  const int height = client.height();
  for (QWidget* child : client.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool below = child->geometry().top() >= height;
    if (below && !child->isHidden()) {
      child->setProperty(kCutOff, true);
      child->setProperty(kFocusPolicy, static_cast<int>(child->focusPolicy()));
      child->setFocusPolicy(Qt::NoFocus);
      child->hide();
    } else if (!below && IsCutOff(*child)) {
      child->setProperty(kCutOff, false);
      child->setFocusPolicy(static_cast<Qt::FocusPolicy>(child->property(kFocusPolicy).toInt()));
      child->show();
    }
  }
}

bool IsCutOff(const QWidget& widget) { return widget.property(kCutOff).toBool(); }

}  // namespace tk
