// The window icon, in the sizes the desktop may ask for. Its images are
// decoded only when a size is asked for: Qt's own icon decoded all six,
// up to 256x256, as it was made, about a millisecond of every start-up,
// and an offscreen window never asks for any of them.
// Threads: window thread, after the application object exists.
#pragma once

#include <QIcon>

QIcon WindowIcon();
