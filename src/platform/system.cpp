#include "platform/system.h"

#include <sys/utsname.h>

#include <cstdio>

bool System_KernelVersion(int* major, int* minor) {
  utsname name{};
  return uname(&name) == 0 && std::sscanf(name.release, "%d.%d", major, minor) == 2;
}
