// The window icon, in the sizes the desktop may ask for. Its images are
// decoded only when a size is asked for: decoding all six at start-up cost
// about as much as building the window's controls, and an offscreen or
// Wayland window never asks for most of them.
// Threads: window thread, after the application object exists.
#pragma once

#include <QIcon>

QIcon WindowIcon();
