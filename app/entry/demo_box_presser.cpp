#include "app/entry/demo_box_presser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace demo {

namespace {

// Often enough that a box never holds up a run for long; a box that the
// window thread has not drawn yet is simply pressed at a later look.
constexpr int kLookMs = 100;

}  // namespace

BoxPresser::BoxPresser(std::ostream& out) : out_(out) {
  look_.setInterval(kLookMs);
  connect(&look_, &QTimer::timeout, this, &BoxPresser::Look);
  look_.start();
}

void BoxPresser::Look() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) return;
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  if (ok == nullptr) return;
  QString text = box->text();
  text.replace('\n', ' ');
  out_ << "zorvex-flash-demo: pressed OK on the box \"" << text.toStdString() << "\"" << std::endl;
  ++presses_;
  ok->click();
}

}  // namespace demo
