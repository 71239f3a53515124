// Facts about the system the program runs on.
#pragma once
#include <cstddef>

// The running kernel's version as major and minor numbers; false when it
// cannot be read.
bool System_KernelVersion(int* major, int* minor);
// The stack size the process may grow to, in bytes; 0 when unlimited or
// unknown.
size_t System_StackLimit();
