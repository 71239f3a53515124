// Leak checking off for the lifetime of the object: the system's OpenGL
// driver keeps allocations it never frees, which are not ours to report.
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
