#include "app/entry/application_setup.h"

#include <QApplication>

#include "app/entry/linux/window_icon.h"
#include "app/toolkit/application.h"
#include "app/toolkit/text.h"

void SetUpApplication() {
  // Not the display name: X11 would append that to the window's own caption.
  tk::SetApplicationTitle(kApplicationTitle);
  QGuiApplication::setDesktopFileName(kDesktopFileName);
  QApplication::setWindowIcon(WindowIcon());
}

std::string CheckTextConversion() {
  if (tk::Cp932Available()) return {};
  return "this Qt cannot convert CP932 (Shift-JIS) text, so the window would show no text; "
         "it needs a Qt built with ICU (Debian's libqt6core6 is)";
}
