// The Qt back-end's editable combo box.
#include <QComboBox>
#include <QLineEdit>

#include "app/toolkit/native.h"
#include "app/toolkit/qt/accessible_combo_box.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"

namespace tk::native {

namespace {

QComboBox* Box(NativeControl* control) { return static_cast<QComboBox*>(QtWidget(control)); }

}  // namespace

NativeControl* MakeComboBox(ComboBox& owner, NativeControl* parent, Bounds bounds) {
  auto* box = new QComboBox(QtWidget(parent));
  box->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
  box->setEditable(true);
  // The items mirror the drive table position by position: typing Enter
  // must not add one.
  box->setInsertPolicy(QComboBox::NoInsert);
  DescribeComboBoxByName(*box);
  // activated and textEdited come only from the operator (or PickItem and
  // TypeText), never from setCurrentIndex or setEditText.
  QObject::connect(box, &QComboBox::activated, box, [&owner, box](int) {
    box->lineEdit()->setCursorPosition(0);
    ControlAccess::Picked(owner);
  });
  QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box,
                   [&owner](const QString&) { ControlAccess::Edited(owner); });
  return AsNative(box);
}

void AddItem(NativeControl* control, std::string_view cp932) {
  QComboBox* box = Box(control);
  // Qt makes the first item of an empty box current.
  const bool wasEmpty = box->count() == 0;
  const QString editText = box->currentText();
  box->addItem(FromCp932(cp932));
  if (wasEmpty) {
    box->setCurrentIndex(-1);
    box->setEditText(editText);
  }
}

int ItemCount(NativeControl* box) { return Box(box)->count(); }

std::string Item(NativeControl* box, int index) { return ToCp932(Box(box)->itemText(index)); }

void SetItemIndex(NativeControl* box, int index) {
  Box(box)->setCurrentIndex(index);
  // A line longer than the field shows its start, the adapter and target.
  Box(box)->lineEdit()->setCursorPosition(0);
}

int ItemIndex(NativeControl* box) { return Box(box)->currentIndex(); }

void PickItem(NativeControl* control, int index) {
  QComboBox* box = Box(control);
  box->setCurrentIndex(index);
  Q_EMIT box->activated(index);
}

void TypeText(NativeControl* control, std::string_view cp932) {
  QComboBox* box = Box(control);
  // insert() goes through the line edit's editing path, which emits
  // textEdited just as keystrokes do.
  box->lineEdit()->selectAll();
  box->lineEdit()->insert(FromCp932(cp932));
}

}  // namespace tk::native
