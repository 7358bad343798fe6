// The toolkit's thread class. It needs nothing from the window system, so it
// lives with the operating-system services, where the flash run (below the
// window layer) can derive from it.
#pragma once

#include "platform/thread_class.h"

namespace tk {

using Thread = platform::Thread;
using ThreadRef = platform::ThreadRef;

}  // namespace tk
