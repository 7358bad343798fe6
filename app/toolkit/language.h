// The toolkit's own texts (the edit fields' context menus, standard dialog
// buttons) in the program's language, where the toolkit ships them: without
// them an operator who chose Japanese still meets English menus. The Qt
// back-end loads Qt's Japanese translations; the Win32 back-end's texts are
// the system's own, in the system's language, and stay as they are.
// Threads: window thread.
#pragma once

namespace tk {

// Japanese: true when the toolkit's texts are now Japanese or are the
// system's own; false when the translations are not installed (the texts
// then stay English). English: takes them away again; always true.
bool UseToolkitJapanese(bool japanese);

}  // namespace tk
