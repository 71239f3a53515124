// Container texts built by hand from the format, byte by byte, so the tests
// of the readers do not lean on the stream that writes them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace dstest {

class HexText {
 public:
  HexText& Int(int32_t v) {
    for (int i = 0; i < 4; ++i) Byte(uint8_t(uint32_t(v) >> (8 * i)));
    return *this;
  }
  HexText& Kind(uint32_t kind) { return Int(int32_t(kind)); }
  HexText& Real(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Kind(0);
    for (int i = 0; i < 8; ++i) Byte(uint8_t(bits >> (8 * i)));
    return *this;
  }
  HexText& String(const std::string& s) {
    Kind(1);
    Int(int32_t(s.size()));
    for (char c : s) Byte(uint8_t(c));
    return *this;
  }
  const std::string& str() const { return hex_; }
  const char* c_str() const { return hex_.c_str(); }

 private:
  void Byte(uint8_t b) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b);
    hex_ += pair;
  }
  std::string hex_;
};

}  // namespace dstest
