#include "app/toolkit/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

#include "app/toolkit/native.h"
#include "app/toolkit/qt/qt_text.h"
#include "platform/standard_streams.h"

namespace tk {

namespace {

// The main window stays on top of all others, so a box must too, or it
// would open behind the window that waits for it.
void RunBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.exec();
}

// Without a widget application there is nothing to show a box with; the
// text still must not be lost.
bool NoWidgets(const QString& caption, const QString& text) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return false;
  platform::SayLine("%s: %s", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
  return true;
}

}  // namespace

void native::RunMessageBox(BoxKind kind, std::string_view textCp932, std::string_view captionCp932) {
  const QString text = FromCp932(textCp932);
  const QString caption = FromCp932(captionCp932);
  if (!NoWidgets(caption, text)) RunBox(kind == BoxKind::Fatal ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text);
}

void native::Beep() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) QApplication::beep();
}

std::optional<std::string> OpenDialog::Execute() const {
  // Qt's filter: "Description (patterns)" entries separated by ";;".
  const QStringList parts = FromCp932(filter).split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    entries << (parts[i].contains(u'(') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(entries);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToCp932(dialog.selectedFiles().first());
}

std::optional<std::string> PressOpenMessageBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  // A box that the window thread has not drawn yet is pressed at a later look.
  if (box == nullptr || !box->isVisible()) return std::nullopt;
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  if (ok == nullptr) return std::nullopt;
  std::string text = ToCp932(box->text());
  ok->click();
  return text;
}

}  // namespace tk
