// Reading and patching container bytes in tests, independently of the
// engine's reader and of the writer.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace testbytes {

using Bytes = std::vector<uint8_t>;

inline uint32_t Rd32(const Bytes& b, size_t at) {
  if (at + 4 > b.size()) throw std::out_of_range("read past the container at " + std::to_string(at));
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
inline float F32(const Bytes& b, size_t at) {
  const uint32_t bits = Rd32(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// The string a reference points at; "(null)" for the null reference.
inline std::string Str(const Bytes& b, uint32_t ref) {
  if (ref == 0) return "(null)";
  const uint32_t len = Rd32(b, ref - 4);
  if (uint64_t(ref) + len >= b.size()) throw std::out_of_range("string runs past the container");
  EXPECT_EQ(b[ref + len], 0);
  return std::string(b.begin() + ref, b.begin() + ref + len);
}

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  if (at + 4 > b.size()) throw std::out_of_range("write past the container at " + std::to_string(at));
  std::memcpy(&b[at], &v, 4);
}

// Offset of the body of the first chunk with this tag.
inline size_t Body(const Bytes& b, const char* tag) {
  for (size_t pos = 8; pos + 8 <= b.size(); pos += 8 + Rd32(b, pos + 4))
    if (std::memcmp(&b[pos], tag, 4) == 0) return pos + 8;
  ADD_FAILURE() << "no chunk " << tag;
  return 0;
}

// The chunk tags in the order they stand.
inline std::vector<std::string> Tags(const Bytes& b) {
  std::vector<std::string> tags;
  for (size_t pos = 8; pos + 8 <= b.size(); pos += 8 + Rd32(b, pos + 4)) tags.emplace_back(b.begin() + pos, b.begin() + pos + 4);
  return tags;
}

}  // namespace testbytes
