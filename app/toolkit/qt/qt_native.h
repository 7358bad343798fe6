// The Qt objects behind the toolkit's opaque handles. Qt back-end only (and
// its tests): the interface headers name no Qt type.
// Threads: as the object reached (the window thread, for widgets).
#pragma once

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "app/toolkit/controls.h"
#include "app/toolkit/menu_book.h"

namespace tk {

// A control's native handle is its QWidget, a menu's its QWidget (a QMenu,
// or the QMenuBar), a menu item's entry its QAction; the casts only ever go
// back to the type they came from.
inline NativeControl* AsNative(QWidget* widget) { return reinterpret_cast<NativeControl*>(widget); }
inline QWidget* QtWidget(NativeControl* native) { return reinterpret_cast<QWidget*>(native); }
inline QWidget* QtWidget(const Control& control) { return QtWidget(control.Native()); }
inline NativeMenu* AsNativeMenu(QWidget* menu) { return reinterpret_cast<NativeMenu*>(menu); }
inline QWidget* QtMenuWidget(NativeMenu* menu) { return reinterpret_cast<QWidget*>(menu); }
inline NativeMenuEntry* AsNative(QAction* action) { return reinterpret_cast<NativeMenuEntry*>(action); }
inline QAction* QtAction(const NativeMenuItem& item) { return reinterpret_cast<QAction*>(item.entry); }
inline QAction* QtAction(const MenuItem& item) { return QtAction(*item.Native()); }
// The menu an item opens, nullptr for a plain item.
inline QMenu* QtMenu(const MenuItem& item) { return QtAction(item)->menu(); }

}  // namespace tk
