// Facts about the system the program runs on.
#pragma once

// The running kernel's version as major and minor numbers; false when it
// cannot be read.
bool System_KernelVersion(int* major, int* minor);
