// Leak checking around the system's OpenGL driver, whose allocations are
// not ours to report.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_HAS_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TW_HAS_LSAN 1
#endif

#ifdef TW_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

// Leak checking off for the lifetime of the object: the driver keeps
// allocations it never frees.
class LeaksIgnored {
 public:
#ifdef TW_HAS_LSAN
  LeaksIgnored() { __lsan_disable(); }
  ~LeaksIgnored() { __lsan_enable(); }
#endif
  LeaksIgnored(const LeaksIgnored&) = delete;
  LeaksIgnored& operator=(const LeaksIgnored&) = delete;
#ifndef TW_HAS_LSAN
  LeaksIgnored() = default;
#endif
};

// Under the leak checker, keeps every shared library loaded now mapped to
// the end of the process (a later unload leaves it in place); elsewhere does
// nothing. Blocks that a driver's globals still hold then stay reachable
// after the driver is shut down, while the driver's threads end with it, so
// the end-of-process check runs with no driver thread left to stop and walk.
void Leaks_KeepLoadedLibraries();
