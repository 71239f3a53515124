// The images built into the program, by number. Images 1 to 14 are the
// particle shapes (64 x 64, white, the shape in the alpha), drawn here at
// first use; image 15 is the built-in font's page (256 x 128). The others
// are not carried and stay empty, which loads as no texture.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/textures.h"

namespace {
constexpr uint8_t kFontPage[] = {
#include "graphics/builtin_font_image.inc"
};
constexpr int kImageCount = 17;
constexpr int kFontImage = 15;
constexpr int kFirstShapeImage = 1;
constexpr int kShapeCount = 14;
constexpr int kSide = 64;
constexpr float kPi = 3.14159265f;

// Repeatable value noise in [0, 1] on a lattice of the given cell size.
float Hash(int x, int y, uint32_t salt) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + salt * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float Noise(float x, float y, float cell, uint32_t salt) {
  x /= cell, y /= cell;
  const int ix = int(std::floor(x)), iy = int(std::floor(y));
  const float fx = x - float(ix), fy = y - float(iy);
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float a = Hash(ix, iy, salt), b = Hash(ix + 1, iy, salt), c = Hash(ix, iy + 1, salt),
              d = Hash(ix + 1, iy + 1, salt);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
// 1 inside r, falling to 0 over the given width outside it.
float Edge(float d, float r, float width) { return Clamp01((r + width - d) / width); }

// Alpha of shape s at the pixel centre (dx, dy) from the image centre.
float ShapeAlpha(int s, float dx, float dy) {
  const float d = std::sqrt(dx * dx + dy * dy);
  const float a = std::atan2(dy, dx);
  switch (s) {
    case 0:  // pixel
      return std::fabs(dx) < 1.5f && std::fabs(dy) < 1.5f ? 1.0f : 0.0f;
    case 1:  // disk
      return Edge(d, 30.0f, 1.5f);
    case 2:  // square
      return 1.0f;
    case 3:  // line: a thin bar across
      return Edge(std::fabs(dy), 3.0f, 1.5f) * Edge(std::fabs(dx), 30.0f, 2.0f);
    case 4: {  // star: five points
      const float r = 12.0f + 18.0f * std::pow(std::fabs(std::cos(2.5f * (a + kPi / 2))), 3.0f);
      return Edge(d, r, 1.5f);
    }
    case 5:  // circle: a thin outline
      return Edge(std::fabs(d - 28.0f), 1.5f, 1.5f);
    case 6:  // ring: a soft band
      return Clamp01(1.0f - std::fabs(d - 24.0f) / 7.0f);
    case 7:  // sphere: bright in the middle, fading out
      return Clamp01(1.0f - d / 31.0f);
    case 8: {  // flare: a glow with a cross of rays
      const float glow = std::pow(Clamp01(1.0f - d / 31.0f), 3.0f);
      const float rays = Clamp01(1.0f - std::min(std::fabs(dx), std::fabs(dy)) / 2.0f) * Clamp01(1.0f - d / 31.0f);
      return Clamp01(glow + rays);
    }
    case 9: {  // spark: eight thin rays
      const float ray = std::pow(std::fabs(std::cos(4.0f * a)), 24.0f);
      return Clamp01((ray + std::pow(Clamp01(1.0f - d / 8.0f), 2.0f)) * Clamp01(1.0f - d / 31.0f));
    }
    case 10: {  // explosion: a ragged ball
      const float n = Noise(dx + 32, dy + 32, 8.0f, 10) * 0.6f + Noise(dx + 32, dy + 32, 4.0f, 11) * 0.4f;
      return Clamp01((1.0f - d / 31.0f) * (0.6f + 0.8f * n));
    }
    case 11: {  // cloud: soft lumps
      const float n = Noise(dx + 32, dy + 32, 12.0f, 20) * 0.7f + Noise(dx + 32, dy + 32, 6.0f, 21) * 0.3f;
      return Clamp01(std::pow(Clamp01(1.0f - d / 31.0f), 0.7f) * n * 1.3f);
    }
    case 12: {  // smoke: thin wisps
      const float n = Noise(dx + 32, dy + 32, 6.0f, 30) * 0.5f + Noise(dx + 32, dy + 32, 3.0f, 31) * 0.5f;
      return Clamp01(Clamp01(1.0f - d / 31.0f) * n * 0.9f);
    }
    case 13: {  // snow: a six-armed flake
      float arm = 0.0f;
      for (int k = 0; k < 3; ++k) {
        const float t = a - float(k) * kPi / 3;
        arm = std::max(arm, Edge(std::fabs(d * std::sin(t)), 1.5f, 1.0f));
      }
      return arm * Edge(d, 28.0f, 2.0f);
    }
    default: return 0.0f;
  }
}

// A "RAW " block of a white image with the shape in its alpha.
std::vector<uint8_t> ShapeImage(int s) {
  std::vector<uint8_t> raw(16 + size_t(kSide) * kSide * 4);
  const uint32_t header[3] = {kSide, kSide, 0};
  std::memcpy(raw.data(), "RAW ", 4);
  std::memcpy(raw.data() + 4, header, sizeof header);
  uint8_t* p = raw.data() + 16;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x, p += 4) {
      const float alpha = ShapeAlpha(s, float(x) + 0.5f - kSide / 2, float(y) + 0.5f - kSide / 2);
      p[0] = p[1] = p[2] = 255;
      p[3] = uint8_t(std::lround(Clamp01(alpha) * 255.0f));
    }
  }
  return raw;
}
}  // namespace

const std::vector<uint8_t>& Texture_BuiltinTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<std::vector<uint8_t>> images(kImageCount);
    for (int s = 0; s < kShapeCount; ++s) images[size_t(kFirstShapeImage + s)] = ShapeImage(s);
    images[kFontImage].assign(std::begin(kFontPage), std::end(kFontPage));
    return Texture_BuildEmbeddedTable(images);
  }();
  return table;
}
