// RIFF WAVE images made by the tests: 16-bit mono sine waves, and the hex
// text tw-pack's AUDIO lines take.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testwav {

using Bytes = std::vector<uint8_t>;

// A 16-bit PCM image around these samples.
inline Bytes Pcm16(int channels, int rate, const std::vector<int16_t>& samples) {
  const uint32_t data = uint32_t(samples.size() * 2);
  Bytes b;
  auto text = [&](const char* s) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(s[i]));
  };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  text("RIFF");
  u32(36 + data);
  text("WAVE");
  text("fmt ");
  u32(16);
  u16(1);
  u16(uint16_t(channels));
  u32(uint32_t(rate));
  u32(uint32_t(rate * channels * 2));
  u16(uint16_t(channels * 2));
  u16(16);
  text("data");
  u32(data);
  for (int16_t s : samples) u16(uint16_t(s));
  return b;
}

// A mono sine of `amplitude` (1 is full scale) for `frames` frames.
inline Bytes Sine(double frequency, double amplitude, int rate, int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    s[size_t(i)] = int16_t(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * i / rate)));
  return Pcm16(1, rate, s);
}

inline std::string Hex(const Bytes& b) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (uint8_t v : b) s += {digits[v >> 4], digits[v & 15]};
  return s;
}

}  // namespace testwav
