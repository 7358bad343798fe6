#include "app/toolkit/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tk {

namespace {

// Loaded once, kept for the life of the application object.
QTranslator* JapaneseQtTexts() {
  static QTranslator* translator = [] {
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete t;
      return static_cast<QTranslator*>(nullptr);
    }
    return t;
  }();
  return translator;
}

}  // namespace

bool UseToolkitJapanese(bool japanese) {
  QTranslator* texts = JapaneseQtTexts();
  if (!japanese) {
    if (texts != nullptr) QCoreApplication::removeTranslator(texts);
    return true;
  }
  return texts != nullptr && QCoreApplication::installTranslator(texts);
}

}  // namespace tk
