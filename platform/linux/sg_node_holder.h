// Who keeps an sg node from this program: for the one line the operator
// reads when a drive is passed over or a run does not start.
// Threads: any.
#pragma once

#include <string>

namespace platform {

// "process 123 (name)": the process that holds a flock on the file behind
// `fd` (from /proc/locks), else another process that has the file open
// (from /proc/<pid>/fd, where this user may look); empty when none is found.
std::string NodeHolder(int fd);

}  // namespace platform
