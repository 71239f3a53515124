#include "script/random.h"

#include <array>

namespace {

struct RandomState {
  std::array<uint32_t, 16> words;
  uint32_t index;
  int32_t seed;
};

// Each word is the C runtime rand() step applied to the previous word alone,
// so every word is a 15-bit value.
constexpr RandomState Seeded(int32_t seed) {
  RandomState s{};
  uint32_t c = static_cast<uint32_t>(seed);
  for (uint32_t& w : s.words) {
    c = ((c * 214013u + 2531011u) >> 16) & 0x7FFFu;
    w = c;
  }
  s.index = 0;
  s.seed = seed;
  return s;
}

// Constant-initialised, so the generator is seeded before any code runs.
constinit RandomState g_random = Seeded(0);

}  // namespace

int32_t Random_SetSeed(int32_t seed) {
  g_random = Seeded(seed);
  return seed;
}

int32_t Random_GetSeed() { return g_random.seed; }

uint32_t Random_Next32() {
  auto& S = g_random.words;
  uint32_t i = g_random.index;
  uint32_t a = S[i];
  uint32_t c = S[(i + 13) & 15];
  uint32_t b = a ^ c ^ (a << 16) ^ (c << 15);
  c = S[(i + 9) & 15];
  c ^= c >> 11;
  a = S[i] = b ^ c;
  uint32_t d = a ^ ((a & 0xFED22169u) << 5);
  i = (i + 15) & 15;
  a = S[i];
  S[i] = a ^ b ^ d ^ (a << 2) ^ (b << 18) ^ (c << 28);
  g_random.index = i;
  return S[i];
}

double Random_Real(double x) {
  constexpr double kScale = 1.0 / 4294967296.0;
  return x * Random_Next32() * kScale;
}

int32_t Random_Int(int32_t n) {
  // A zero range would be a division by zero; it has only one sensible answer.
  if (n == 0) return 0;
  uint32_t range = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  return static_cast<int32_t>(Random_Next32() % range);
}
