// Where the contract cases of tests/platform meet what each system does its
// own way (tests/platform/<system>/system_traits.cpp).
// Threads: any.
#pragma once

#include <string>

namespace zx_test {

// A FIFO at `path` (a failure to make one fails the test); false where
// the system's file system has none.
bool MakeFifo(const std::string& path);
// A symbolic link at `link` to `target`; false where the tests cannot make
// one (Windows asks for a privilege), the case then skipped.
bool MakeFileLink(const std::string& target, const std::string& link);

// What a module's late signal on a closed event returns: Linux's table no
// longer has the event (0); Windows' SetEvent reaches the retired system
// object, which nobody waits on (1).
extern const int LATE_MODULE_SIGNAL_RESULT;

}  // namespace zx_test
