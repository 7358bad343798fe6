#include <QComboBox>
#include <QLineEdit>

#include "app/toolkit/controls.h"
#include "app/toolkit/qt/accessible_combo_box.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

QComboBox* Box(QWidget* widget) { return static_cast<QComboBox*>(widget); }

}  // namespace

ComboBox::ComboBox(NativeControl* parent, Bounds bounds) : Control(AsNative(new QComboBox(QtWidget(parent)))) {
  QComboBox* box = Box(QtWidget(native_));
  box->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  box->setEditable(true);
  // The items mirror the drive table position by position: typing Enter
  // must not add one.
  box->setInsertPolicy(QComboBox::NoInsert);
  DescribeComboBoxByName(*box);
  // activated and textEdited come only from the operator (or Pick/TypeText),
  // never from setCurrentIndex or setEditText.
  QObject::connect(box, &QComboBox::activated, box, [this, box](int) {
    edited_ = false;
    box->lineEdit()->setCursorPosition(0);
    if (Handler call = onChange_) call();
  });
  QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box, [this](const QString&) {
    edited_ = true;
    if (Handler call = onChange_) call();
  });
}

void ComboBox::AddItem(std::string_view cp932) {
  RunOnWindowThread([&] {
    QComboBox* box = Box(QtWidget(native_));
    // Qt makes the first item of an empty box current; here none is until set.
    const bool wasEmpty = box->count() == 0;
    const QString editText = box->currentText();
    box->addItem(FromCp932(cp932));
    if (wasEmpty) {
      box->setCurrentIndex(-1);
      box->setEditText(editText);
    }
  });
}

int ComboBox::ItemCount() const {
  return CallOnWindowThread([&] { return Box(QtWidget(native_))->count(); });
}

std::string ComboBox::Item(int index) const {
  return CallOnWindowThread([&] { return ToCp932(Box(QtWidget(native_))->itemText(index)); });
}

std::string ComboBox::Text() const {
  return CallOnWindowThread([&] { return ToCp932(Box(QtWidget(native_))->currentText()); });
}

void ComboBox::SetItemIndex(int index) {
  RunOnWindowThread([&] {
    edited_ = false;
    Box(QtWidget(native_))->setCurrentIndex(index);
    // A line longer than the field shows its start, the adapter and target.
    Box(QtWidget(native_))->lineEdit()->setCursorPosition(0);
  });
}

int ComboBox::ItemIndex() const {
  return CallOnWindowThread([&] { return edited_ ? -1 : Box(QtWidget(native_))->currentIndex(); });
}

void ComboBox::OnChange(Handler handler) {
  RunOnWindowThread([&] { onChange_ = std::move(handler); });
}

void ComboBox::Pick(int index) {
  RunOnWindowThread([&] {
    QComboBox* box = Box(QtWidget(native_));
    if (!box->isEnabled() || index < 0 || index >= box->count()) return;
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
  });
}

void ComboBox::TypeText(std::string_view cp932) {
  RunOnWindowThread([&] {
    QComboBox* box = Box(QtWidget(native_));
    if (!box->isEnabled()) return;
    // insert() goes through the line edit's editing path, which emits
    // textEdited just as keystrokes do.
    box->lineEdit()->selectAll();
    box->lineEdit()->insert(FromCp932(cp932));
  });
}

}  // namespace tk
