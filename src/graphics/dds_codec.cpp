// DDS images: the top level of a 2D texture, block-compressed (DXT1 to DXT5)
// or uncompressed with channel masks, decoded to 0xAARRGGBB words.
#include <cstring>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

namespace {

constexpr size_t kHeaderEnd = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kPfAlphaPixels = 0x1, kPfFourCC = 0x4, kPfRgb = 0x40;

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

uint32_t FourCC(const char* s) { return U32(reinterpret_cast<const uint8_t*>(s)); }

struct Rgb {
  uint32_t r, g, b;
};

Rgb From565(uint32_t c) {
  const uint32_t r = c >> 11 & 31, g = c >> 5 & 63, b = c & 31;
  return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
}

uint32_t Argb(uint32_t a, const Rgb& c) { return a << 24 | c.r << 16 | c.g << 8 | c.b; }

// The colour half of a block: two 5:6:5 end points and 2-bit indices. A
// DXT1 block whose first end point is not the larger one has three colours
// and a clear fourth.
void ColourBlock(const uint8_t* p, bool dxt1, uint32_t out[16]) {
  const uint32_t c0 = uint32_t(p[0] | p[1] << 8), c1 = uint32_t(p[2] | p[3] << 8);
  const Rgb a = From565(c0), b = From565(c1);
  uint32_t palette[4] = {Argb(255, a), Argb(255, b), 0, 0};
  if (!dxt1 || c0 > c1) {
    palette[2] = Argb(255, {(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3});
    palette[3] = Argb(255, {(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3});
  } else {
    palette[2] = Argb(255, {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2});
    palette[3] = 0;
  }
  const uint32_t bits = U32(p + 4);
  for (int i = 0; i < 16; ++i) out[i] = palette[bits >> (2 * i) & 3];
}

// DXT2/3: sixteen explicit 4-bit alphas.
void ExplicitAlpha(const uint8_t* p, uint32_t px[16]) {
  for (int i = 0; i < 16; ++i) {
    const uint32_t a = uint32_t(p[i / 2] >> (4 * (i & 1)) & 0xF) * 0x11;
    px[i] = (px[i] & 0x00FFFFFFu) | a << 24;
  }
}

// DXT4/5: two end points and 3-bit indices into the ramp between them.
void InterpolatedAlpha(const uint8_t* p, uint32_t px[16]) {
  const uint32_t a0 = p[0], a1 = p[1];
  uint32_t ramp[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t i = 0; i < 6; ++i) ramp[2 + i] = ((6 - i) * a0 + (1 + i) * a1) / 7;
  } else {
    for (uint32_t i = 0; i < 4; ++i) ramp[2 + i] = ((4 - i) * a0 + (1 + i) * a1) / 5;
    ramp[6] = 0;
    ramp[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(p[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) px[i] = (px[i] & 0x00FFFFFFu) | ramp[bits >> (3 * i) & 7] << 24;
}

// A channel given by its mask, scaled to 8 bits.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  const uint32_t max = mask >> shift;
  const uint32_t v = (pixel & mask) >> shift;
  return uint32_t((uint64_t(v) * 255 + max / 2) / max);
}

}  // namespace

uint32_t* DDS_Load(const uint8_t* data, size_t size, int* width, int* height) {
  if (!data || size < kHeaderEnd || std::memcmp(data, "DDS ", 4) != 0 || U32(data + 4) != 124) return nullptr;
  const uint32_t h = U32(data + 12), w = U32(data + 16);
  const uint32_t pfFlags = U32(data + 80), fourCC = U32(data + 84), bitCount = U32(data + 88);
  const uint32_t masks[4] = {U32(data + 92), U32(data + 96), U32(data + 100), U32(data + 104)};  // R G B A
  const uint32_t maxSide = uint32_t(Image_MaxSide());
  if (w < 1 || h < 1 || w > maxSide || h > maxSide) return nullptr;
  const uint8_t* src = data + kHeaderEnd;
  const size_t available = size - kHeaderEnd;

  int kind = 0;  // 1 DXT1, 3 explicit alpha, 5 interpolated alpha, 0 masks
  if (pfFlags & kPfFourCC) {
    if (fourCC == FourCC("DXT1")) kind = 1;
    else if (fourCC == FourCC("DXT2") || fourCC == FourCC("DXT3")) kind = 3;
    else if (fourCC == FourCC("DXT4") || fourCC == FourCC("DXT5")) kind = 5;
    else return nullptr;
  } else if (!(pfFlags & kPfRgb) || (bitCount != 16 && bitCount != 24 && bitCount != 32)) {
    return nullptr;
  }

  const size_t bw = (w + 3) / 4, bh = (h + 3) / 4;
  const size_t blockBytes = kind == 1 ? 8 : 16;
  const size_t pixelBytes = bitCount / 8;
  const size_t need = kind ? bw * bh * blockBytes : size_t(w) * h * pixelBytes;
  if (need > available) return nullptr;

  auto* out = static_cast<uint32_t*>(TW_ALLOC(w * h * 4, false));
  if (kind) {
    uint32_t block[16];
    for (size_t by = 0; by < bh; ++by) {
      for (size_t bx = 0; bx < bw; ++bx) {
        const uint8_t* p = src + (by * bw + bx) * blockBytes;
        ColourBlock(kind == 1 ? p : p + 8, kind == 1, block);
        if (kind == 3) ExplicitAlpha(p, block);
        if (kind == 5) InterpolatedAlpha(p, block);
        for (size_t i = 0; i < 16; ++i) {
          const size_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
          if (x < w && y < h) out[y * w + x] = block[i];
        }
      }
    }
  } else {
    const bool alpha = (pfFlags & kPfAlphaPixels) && masks[3] != 0;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      const uint8_t* p = src + i * pixelBytes;
      uint32_t v = 0;
      for (size_t k = 0; k < pixelBytes; ++k) v |= uint32_t(p[k]) << (8 * k);
      const uint32_t a = alpha ? Channel(v, masks[3]) : 255;
      out[i] = a << 24 | Channel(v, masks[0]) << 16 | Channel(v, masks[1]) << 8 | Channel(v, masks[2]);
    }
  }
  *width = int(w);
  *height = int(h);
  return out;
}
