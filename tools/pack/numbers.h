// The number syntax of descriptions and code: decimal or 0x-hexadecimal,
// optionally negative, from -2^63 to 2^63 - 1.
#pragma once
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

namespace twpack {

inline bool ParseInteger(std::string_view s, int64_t* out) {
  const bool neg = !s.empty() && s[0] == '-';
  if (neg) s.remove_prefix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return false;
  if (v > (neg ? uint64_t(1) << 63 : uint64_t(std::numeric_limits<int64_t>::max()))) return false;
  *out = neg ? int64_t(0 - v) : int64_t(v);
  return true;
}

}  // namespace twpack
