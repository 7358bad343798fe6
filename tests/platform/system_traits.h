// Where the contract cases of tests/platform meet what each system does its
// own way (tests/platform/<system>/system_traits.cpp).
// Threads: any.
#pragma once

#include <string>

namespace zx_test {

// A FIFO at `path` (a failure to make one fails the test); false where
// the system's file system has none.
bool MakeFifo(const std::string& path);

// What a module's late signal on a closed event returns: Linux's table no
// longer has the event (0); Windows' SetEvent reaches the retired system
// object, which nobody waits on (1).
extern const int LATE_MODULE_SIGNAL_RESULT;

}  // namespace zx_test
