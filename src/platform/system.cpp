#include "platform/system.h"

#include <sys/resource.h>
#include <sys/utsname.h>

#include <cstdio>

bool System_KernelVersion(int* major, int* minor) {
  utsname name{};
  return uname(&name) == 0 && std::sscanf(name.release, "%d.%d", major, minor) == 2;
}

size_t System_StackLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  return size_t(limit.rlim_cur);
}
