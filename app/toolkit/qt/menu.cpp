// The Qt back-end's menus: each item is a QAction, shown as the toolkit
// keeps it (app/toolkit/menu.cpp).
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/toolkit/menu_book.h"
#include "app/toolkit/qt/form_window.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/qt/qt_text.h"

namespace tk::native {

MenuBook& Menus(FormWindow& window) { return window.Menus(); }

NativeMenu* MenuBar(FormWindow& window) { return AsNativeMenu(window.menuBar()); }

NativeMenu* PopupMenu(FormWindow& window) { return AsNativeMenu(window.PopupMenu()); }

void PutMenuItem(NativeMenuItem& item, bool opensMenu) {
  FormWindow& window = *item.window;
  QAction* action;
  if (opensMenu) {
    QMenu* menu = window.menuBar()->addMenu(FromCp932(item.caption));
    item.submenu = AsNativeMenu(menu);
    action = menu->menuAction();
    window.Relayout();  // the menu bar may have grown
  } else {
    action = static_cast<QMenu*>(QtMenuWidget(item.owner))->addAction(FromCp932(item.caption));
    // Reachable by its shortcut while its menu is closed (a context menu's
    // too). Qt disables the shortcut of an invisible action.
    window.addAction(action);
    QObject::connect(action, &QAction::triggered, action, [&item] { Choose(item); });
  }
  item.entry = AsNative(action);
}

void RefreshMenuItem(NativeMenuItem& item) {
  QAction* action = QtAction(item);
  action->setText(FromCp932(item.caption));
  action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut.data(), static_cast<qsizetype>(item.shortcut.size())),
                                   QKeySequence::PortableText));
  action->setVisible(item.visible);
}

}  // namespace tk::native
