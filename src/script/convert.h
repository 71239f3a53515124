// The one way a real becomes an integer. Script numbers are untrusted: a
// plain cast of NaN or of a value out of range is undefined behaviour, so
// every conversion saturates and NaN gives 0.
#pragma once
#include <cmath>
#include <cstdint>

// Truncates toward zero, saturating at the int32 range.
inline int32_t Real_ToInt32(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// Truncates toward zero, saturating at the int64 range.
inline int64_t Real_ToInt64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9223372036854775807.0) return INT64_MAX;  // the literal is 2^63
  if (x <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(x);
}

// Nearest integer, halves to even, saturating.
inline int32_t Real_RoundToInt32(double x) { return Real_ToInt32(std::nearbyint(x)); }
