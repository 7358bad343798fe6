// What screen readers learn of the drive list. On Linux, Qt's own
// description of a combo box gives it the current item's text as its name,
// whatever name or label it was given, so the list would be announced by a
// drive's line alone. The toolkit's combo boxes are described here instead:
// named by their accessible name or else by the label whose buddy they are,
// with the current text as their value and the same children (the popup
// list, then the edit field). Qt back-end only. Threads: window thread.
#pragma once

#include <QComboBox>

namespace tk {

// Describes `box` this way to assistive technology from now on.
void DescribeComboBoxByName(QComboBox& box);

}  // namespace tk
