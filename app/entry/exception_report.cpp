#include "app/entry/exception_report.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "app/toolkit/application.h"
#include "app/toolkit/text.h"

void ReportException(const std::exception& error) {
  const QString text = QString::fromLocal8Bit(error.what());
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s\n", error.what());
    return;
  }
  QMessageBox::critical(nullptr, tk::FromCp932(tk::ApplicationTitle()), text);
}
