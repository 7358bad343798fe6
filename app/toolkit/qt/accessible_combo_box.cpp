#include "app/toolkit/qt/accessible_combo_box.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QVariant>
#include <mutex>

namespace tk {

namespace {

constexpr const char* kNamed = "zxNamedComboBox";

class NamedComboBox : public QAccessibleWidget {
 public:
  explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    // The widget's own rule for the name: its accessible name, else the
    // text of the label it is the buddy of.
    if (t == QAccessible::Value) return Box()->currentText();
    return QAccessibleWidget::text(t);
  }

  int childCount() const override { return Box()->lineEdit() ? 2 : 1; }

  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Box()->view());
    if (index == 1 && Box()->lineEdit()) return QAccessible::queryAccessibleInterface(Box()->lineEdit());
    return nullptr;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (child->object() == Box()->view()) return 0;
    if (Box()->lineEdit() && child->object() == Box()->lineEdit()) return 1;
    return -1;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = Box()->view()->isVisible();
    state.editable = Box()->isEditable();
    return state;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& action) override {
    if (action == showMenuAction()) {
      Box()->view()->isVisible() ? Box()->hidePopup() : Box()->showPopup();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* Describe(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox") || !object->property(kNamed).toBool()) return nullptr;
  return new NamedComboBox(static_cast<QComboBox*>(object));
}

}  // namespace

void DescribeComboBoxByName(QComboBox& box) {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(&Describe); });
  box.setProperty(kNamed, true);
}

}  // namespace tk
