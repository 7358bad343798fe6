#include "app/toolkit/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tk {

namespace {

QTranslator* LoadJapaneseQtTexts() {
  auto* t = new QTranslator(QCoreApplication::instance());
  if (t->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return t;
  delete t;
  return nullptr;
}

// Loaded at the first call that asks for Japanese, not before: an English
// window needs none of it, and start-up would wait for the file. Kept for
// the life of the application object.
QTranslator* japaneseTexts = nullptr;
bool loadTried = false;

}  // namespace

bool UseToolkitJapanese(bool japanese) {
  if (!japanese) {
    if (japaneseTexts != nullptr) QCoreApplication::removeTranslator(japaneseTexts);
    return true;
  }
  if (!loadTried) {
    loadTried = true;
    japaneseTexts = LoadJapaneseQtTexts();
  }
  return japaneseTexts != nullptr && QCoreApplication::installTranslator(japaneseTexts);
}

}  // namespace tk
