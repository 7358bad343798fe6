// Qt's own texts (the edit fields' context menus, standard dialog buttons)
// in the program's language: Qt ships them as the qtbase translations, and
// without them an operator who chose Japanese still meets English menus.
// Threads: window thread.
#pragma once

namespace tk {

// Japanese: installs Qt's Japanese translations; false when they are not
// installed on this system (Qt's texts then stay English). English: takes
// them away again; always true.
bool UseQtJapanese(bool japanese);

}  // namespace tk
