#include "app/entry/application_setup.h"

#include <QApplication>
#include <QIcon>

#include "app/toolkit/application.h"
#include "app/toolkit/text.h"

// Resources of a static library are linked in only when asked for by name.
static void LoadWindowIcons() { Q_INIT_RESOURCE(window_icons); }

void SetUpApplication() {
  // Not the display name: X11 would append that to the window's own caption.
  tk::SetApplicationTitle(kApplicationTitle);
  QGuiApplication::setDesktopFileName(kDesktopFileName);
  LoadWindowIcons();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/zorvex-flash/window-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
}

std::string CheckTextConversion() {
  if (tk::Cp932Available()) return {};
  return "this Qt cannot convert CP932 (Shift-JIS) text, so the window would show no text; "
         "it needs a Qt built with ICU (Debian's libqt6core6 is)";
}
