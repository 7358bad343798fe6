// Controls that a window's height cuts off. The designed window is taller
// than the one start-up leaves, and what lies wholly below the client area
// is never seen: it is hidden from Qt (so Tab passes it by and screen
// readers neither show nor offer it) while the toolkit still reports it as
// visible, as the window description has it. Qt back-end only.
// Threads: window thread.
#pragma once

#include <QWidget>

namespace tk {

// Hides the client's children that lie wholly below its height and shows
// again those it had hidden that fit once more.
void HideCutOffControls(QWidget& client);

// Hidden only because the window's height cuts it off.
bool IsCutOff(const QWidget& widget);

}  // namespace tk
