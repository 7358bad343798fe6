// The Qt objects behind the toolkit's opaque handles. Qt back-end only (and
// its tests): the interface headers name no Qt type.
// Threads: as the object reached (the window thread, for widgets).
#pragma once

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "app/toolkit/controls.h"
#include "app/toolkit/menu.h"

namespace tk {

// A control's native handle is its QWidget, a menu item's its QAction; the
// casts only ever go back to the type they came from.
inline NativeControl* AsNative(QWidget* widget) { return reinterpret_cast<NativeControl*>(widget); }
inline QWidget* QtWidget(NativeControl* native) { return reinterpret_cast<QWidget*>(native); }
inline QWidget* QtWidget(const Control& control) { return QtWidget(control.Native()); }
inline NativeMenuItem* AsNative(QAction* action) { return reinterpret_cast<NativeMenuItem*>(action); }
inline QAction* QtAction(const MenuItem& item) { return reinterpret_cast<QAction*>(item.Native()); }
// The menu an item opens, nullptr for a plain item.
inline QMenu* QtMenu(const MenuItem& item) { return QtAction(item)->menu(); }

}  // namespace tk
