#include "graphics/image_codecs.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/files.h"
#include "graphics/bitmap.h"
#include "image_fixtures.h"
#include "script/memory_manager.h"

namespace {

using image_fixtures::Expected;
using image_fixtures::Read;

enum class Kind { Png, Jpeg, Gif, BmpKeepAlpha, BmpOpaque };

struct Decoded {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

Decoded Decode(Kind kind, const std::vector<uint8_t>& bytes) {
  Decoded d;
  int w = 0, h = 0;
  uint32_t* p = nullptr;
  const uint8_t* data = bytes.empty() ? nullptr : bytes.data();
  switch (kind) {
    case Kind::Png:
      p = PNG_Load(data, bytes.size(), &w, &h);
      if (!p) {
        EXPECT_EQ(w, -1);
        EXPECT_EQ(h, -1);
      }
      break;
    case Kind::Jpeg: p = JPEG_Load(data, bytes.size(), &w, &h); break;
    case Kind::Gif: p = GIF_Load(data, bytes.size(), &w, &h); break;
    case Kind::BmpKeepAlpha:
    case Kind::BmpOpaque: {
      TBitmap bitmap;
      bitmap.LoadFromStream(data, bytes.size(), 0);
      CBitmap32 image = CBitmap32::Strip(bitmap, false, false, kind == Kind::BmpKeepAlpha);
      if (image.IsValid()) {
        d.ok = true;
        d.width = image.GetWidth();
        d.height = image.GetHeight();
        int byteSize = 0;
        const uint32_t* words = image.GetData(&byteSize);
        d.pixels.assign(words, words + byteSize / 4);
      }
      return d;
    }
  }
  if (p) {
    d.ok = true;
    d.width = w;
    d.height = h;
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
    d.pixels.assign(p, p + size_t(w) * size_t(h));
    if (kind == Kind::Png) PNG_Free(p);
    else MemoryManager::Release(p);
  }
  return d;
}

struct Variant {
  const char* file;
  Kind kind;
  int tolerance;  // per channel
};

std::string BaseOf(const std::string& file) { return file.substr(0, file.rfind('.')); }

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int(a >> s & 0xFF) - int(b >> s & 0xFF)));
  return d;
}

// Every variant decodes to the pixels ImageMagick decodes from the same file.
// JPEG is compared within 1 per channel (ImageMagick reads it through the same
// libjpeg-turbo, so in practice they are equal); everything else exactly.
const Variant kVariants[] = {
    {"png_palette_trns.png", Kind::Png, 0},      {"png_palette8_trns.png", Kind::Png, 0},
    {"png_palette_interlaced.png", Kind::Png, 0}, {"png_grey1.png", Kind::Png, 0},
    {"png_grey2.png", Kind::Png, 0},             {"png_grey4.png", Kind::Png, 0},
    {"png_grey8.png", Kind::Png, 0},             {"png_grey16.png", Kind::Png, 0},
    {"png_grey16_interlaced.png", Kind::Png, 0}, {"png_grey_trns.png", Kind::Png, 0},
    {"png_grey_alpha.png", Kind::Png, 0},        {"png_rgb.png", Kind::Png, 0},
    {"png_rgb_trns.png", Kind::Png, 0},          {"png_rgb16_trns.png", Kind::Png, 0},
    {"png_rgba.png", Kind::Png, 0},              {"png_rgba16.png", Kind::Png, 0},
    {"png_rgba_interlaced.png", Kind::Png, 0},   {"jpeg_colour.jpg", Kind::Jpeg, 1},
    {"jpeg_progressive.jpg", Kind::Jpeg, 1},     {"jpeg_grey.jpg", Kind::Jpeg, 1},
    {"jpeg_cmyk.jpg", Kind::Jpeg, 1},            {"gif_trns.gif", Kind::Gif, 0},
    {"gif_interlaced.gif", Kind::Gif, 0},        {"bmp24_bottomup.bmp", Kind::BmpOpaque, 0},
    {"bmp24_topdown.bmp", Kind::BmpOpaque, 0},   {"bmp32_bottomup.bmp", Kind::BmpKeepAlpha, 0},
    {"bmp32_topdown.bmp", Kind::BmpKeepAlpha, 0}, {"bmp8_bottomup.bmp", Kind::BmpKeepAlpha, 0},
};

TEST(ImageDecode, EveryVariantMatchesImageMagick) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.file);
    std::vector<uint8_t> bytes = Read(v.file);
    std::vector<uint32_t> want = Expected(BaseOf(v.file));
    ASSERT_EQ(want.size(), 35u);
    Decoded got = Decode(v.kind, bytes);
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.width, 7);
    EXPECT_EQ(got.height, 5);
    ASSERT_EQ(got.pixels.size(), want.size());
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i) {
      int d = ChannelDistance(got.pixels[i], want[i]);
      worst = std::max(worst, d);
      EXPECT_LE(d, v.tolerance) << "pixel " << i % 7 << "," << i / 7 << ": got " << Hex(got.pixels[i]) << " want "
                                << Hex(want[i]);
    }
    if (v.tolerance) RecordProperty(std::string("worst_") + BaseOf(v.file), worst);
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(ImageDecode, GreyJpegGivesGreyPixels) {
  Decoded got = Decode(Kind::Jpeg, Read("jpeg_grey.jpg"));
  ASSERT_TRUE(got.ok);
  for (uint32_t p : got.pixels) {
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ(p >> 16 & 0xFF, p & 0xFF);
    EXPECT_EQ(p >> 8 & 0xFF, p & 0xFF);
  }
}

TEST(ImageDecode, GifTransparentIndexHasAlphaZero) {
  Decoded got = Decode(Kind::Gif, Read("gif_trns.gif"));
  ASSERT_TRUE(got.ok);
  int transparent = 0;
  for (uint32_t p : got.pixels) transparent += (p >> 24) == 0;
  EXPECT_GT(transparent, 0);
}

TEST(ImageDecode, EachPngLoadDecodesItsOwnData) {
  // No decode is held between calls: a second file never gets the first
  // file's pixels.
  std::vector<uint8_t> a = Read("png_rgb.png"), b = Read("png_grey8.png");
  Decoded first = Decode(Kind::Png, a), second = Decode(Kind::Png, b);
  ASSERT_TRUE(first.ok);
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(first.pixels, Expected("png_rgb"));
  EXPECT_EQ(second.pixels, Expected("png_grey8"));
}

// ---------------------------------------------------------------- bad input

Kind KindOf(const std::string& file) {
  for (const Variant& v : kVariants)
    if (file == v.file) return v.kind;
  return Kind::Png;
}

TEST(ImageDecode, EveryTruncationFails) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.file);
    std::vector<uint8_t> bytes = Read(v.file);
    // A GIF's last byte is the trailer after the first image, which is
    // complete without it; everything before it is needed.
    size_t keepMax = v.kind == Kind::Gif ? bytes.size() - 1 : bytes.size();
    for (size_t n = 0; n < keepMax; ++n) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
      EXPECT_FALSE(Decode(v.kind, cut).ok) << "kept " << n << " of " << bytes.size() << " bytes";
    }
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(ImageDecode, EmptyAndForeignDataFail) {
  const std::vector<uint8_t> empty, text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  for (Kind k : {Kind::Png, Kind::Jpeg, Kind::Gif, Kind::BmpKeepAlpha}) {
    EXPECT_FALSE(Decode(k, empty).ok);
    EXPECT_FALSE(Decode(k, text).ok);
  }
  // Each decoder refuses the others' files.
  EXPECT_FALSE(Decode(Kind::Png, Read("jpeg_colour.jpg")).ok);
  EXPECT_FALSE(Decode(Kind::Jpeg, Read("png_rgb.png")).ok);
  EXPECT_FALSE(Decode(Kind::Gif, Read("bmp24_bottomup.bmp")).ok);
  EXPECT_FALSE(Decode(Kind::BmpKeepAlpha, Read("gif_trns.gif")).ok);
}

// The offset of a PNG chunk's type, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
  size_t p = 8;
  while (p + 12 <= png.size()) {
    uint32_t n = uint32_t(png[p]) << 24 | uint32_t(png[p + 1]) << 16 | uint32_t(png[p + 2]) << 8 | png[p + 3];
    if (std::memcmp(&png[p + 4], type, 4) == 0) return p + 4;
    p += 12 + n;
  }
  return 0;
}

void FixChunkCrc(std::vector<uint8_t>& png, size_t typeAt) {
  uint32_t n = uint32_t(png[typeAt - 4]) << 24 | uint32_t(png[typeAt - 3]) << 16 | uint32_t(png[typeAt - 2]) << 8 |
               png[typeAt - 1];
  uint32_t crc = uint32_t(crc32(0, &png[typeAt], n + 4));
  for (int i = 0; i < 4; ++i) png[typeAt + 4 + n + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
}

void Put32BE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

TEST(ImageDecode, CorruptPngFails) {
  const std::vector<uint8_t> good = Read("png_rgba.png");
  size_t ihdr = FindChunk(good, "IHDR"), idat = FindChunk(good, "IDAT");
  ASSERT_NE(ihdr, 0u);
  ASSERT_NE(idat, 0u);
  std::vector<uint8_t> b = good;
  b[idat + 10] ^= 0x5A;  // image data whose checksum no longer matches
  EXPECT_FALSE(Decode(Kind::Png, b).ok);
  b = good;
  b[idat + 10] ^= 0x5A;  // the same with the checksum mended: the stream is damaged
  FixChunkCrc(b, idat);
  EXPECT_FALSE(Decode(Kind::Png, b).ok);
  b = good;
  b[ihdr + 12] = 3;  // bit depth 3 does not exist
  FixChunkCrc(b, ihdr);
  EXPECT_FALSE(Decode(Kind::Png, b).ok);
  b = good;
  b[0] = 0x88;  // signature
  EXPECT_FALSE(Decode(Kind::Png, b).ok);
  // Sizes over the limit are refused before anything is allocated for them.
  for (uint32_t w : {0u, 16385u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    b = good;
    Put32BE(b, ihdr + 4, w);
    FixChunkCrc(b, ihdr);
    EXPECT_FALSE(Decode(Kind::Png, b).ok) << w;
  }
  b = good;
  Put32BE(b, ihdr + 4, 16384);
  Put32BE(b, ihdr + 8, 16384);
  FixChunkCrc(b, ihdr);
  EXPECT_FALSE(Decode(Kind::Png, b).ok);  // allowed size, far too little data
  // The palette image without its palette.
  b = Read("png_palette_trns.png");
  size_t plte = FindChunk(b, "PLTE");
  ASSERT_NE(plte, 0u);
  std::memcpy(&b[plte], "pLTe", 4);
  FixChunkCrc(b, plte);
  EXPECT_FALSE(Decode(Kind::Png, b).ok);
}

// The offset of the first JPEG marker 0xFF `code`, or 0.
size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t code) {
  for (size_t i = 2; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  return 0;
}

TEST(ImageDecode, CorruptJpegFails) {
  for (const char* file : {"jpeg_colour.jpg", "jpeg_progressive.jpg", "jpeg_grey.jpg"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> good = Read(file);
    size_t sof = FindMarker(good, 0xC0);
    if (!sof) sof = FindMarker(good, 0xC2);
    size_t sos = FindMarker(good, 0xDA);
    size_t dht = FindMarker(good, 0xC4);
    ASSERT_NE(sof, 0u);
    ASSERT_NE(sos, 0u);
    ASSERT_NE(dht, 0u);
    std::vector<uint8_t> b = good;
    b[1] = 0x00;  // no start of image
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    b = good;
    b[sof + 4] = 12;  // 12-bit samples
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    b = good;
    b[sof + 5] = b[sof + 6] = 0;  // height 0
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    b = good;
    b[sof + 7] = 0x4E;  // width 20000: over the limit
    b[sof + 8] = 0x20;
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    b = good;
    b[sof + 9] = 0;  // no components
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    b = good;
    for (size_t i = dht + 5; i < dht + 21; ++i) b[i] = 0xFF;  // impossible code counts
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
    // Entropy-coded data replaced by a run of one bit pattern.
    b = good;
    size_t start = sos + 2 + (size_t(b[sos + 2]) << 8 | b[sos + 3]);
    for (size_t i = start; i + 2 < b.size(); ++i) b[i] = 0xFE;
    EXPECT_FALSE(Decode(Kind::Jpeg, b).ok);
  }
}

TEST(ImageDecode, CorruptGifFails) {
  const std::vector<uint8_t> good = Read("gif_trns.gif");
  ASSERT_GT(good.size(), 13u);
  const size_t tableBytes = (good[10] & 0x80) ? 3u << ((good[10] & 7) + 1) : 0;
  std::vector<uint8_t> b = good;
  b[0] = 'J';  // signature
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  b = good;
  b[6] = 8;  // screen wider than the image: not decoded
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  b = good;
  b[6] = b[7] = 0;  // screen width 0
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  b = good;
  b[6] = 0x20;  // screen 20000 wide
  b[7] = 0x4E;
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  // Find the image descriptor and damage its LZW start.
  size_t p = 13 + tableBytes;
  while (p < good.size() && good[p] == 0x21) {  // extensions
    p += 2;
    while (p < good.size() && good[p] != 0) p += size_t(good[p]) + 1;
    ++p;
  }
  ASSERT_LT(p + 10, good.size());
  ASSERT_EQ(good[p], 0x2C);
  const size_t lzw = p + 10 + ((good[p + 9] & 0x80) ? 3u << ((good[p + 9] & 7) + 1) : 0);
  b = good;
  b[lzw] = 12;  // LZW minimum code size beyond the format
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  b = good;
  b[lzw + 1] = 0;  // no data sub-blocks
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  // The image's size reaching past what its data holds.
  b = good;
  b[p + 7] = 0x00;
  b[p + 8] = 0x01;  // height 256
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
  // No colour map at all.
  b = good;
  b[10] &= 0x7F;
  b.erase(b.begin() + 13, b.begin() + 13 + long(tableBytes));
  EXPECT_FALSE(Decode(Kind::Gif, b).ok);
}

TEST(ImageDecode, GifImageLargerThanScreenIsCut) {
  std::vector<uint8_t> b = Read("gif_trns.gif");
  b[6] = 6;  // screen 6 x 4, image 7 x 5
  b[8] = 4;
  Decoded got = Decode(Kind::Gif, b);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.width, 6);
  EXPECT_EQ(got.height, 4);
  std::vector<uint32_t> want = Expected("gif_trns");
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(got.pixels[size_t(y * 6 + x)], want[size_t(y * 7 + x)]);
}

void Put32LE(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

TEST(ImageDecode, CorruptBmpFails) {
  const std::vector<uint8_t> good = Read("bmp24_bottomup.bmp");
  struct Edit {
    const char* what;
    size_t at;
    uint32_t value;
    int bytes;
  };
  const Edit edits[] = {
      {"magic", 0, 'X', 1},
      {"OS/2 core header", 14, 12, 4},
      {"header larger than the file", 14, 4000, 4},
      {"header of 44 bytes", 14, 44, 4},
      {"width 0", 18, 0, 4},
      {"width negative", 18, 0xFFFFFFF9u, 4},
      {"width over the limit", 18, 16385, 4},
      {"height 0", 22, 0, 4},
      {"height -2^31", 22, 0x80000000u, 4},
      {"height over the limit", 22, 20000, 4},
      {"7 bits per pixel", 28, 7, 2},
      {"run-length compression", 30, 1, 4},
      {"bit fields at 24 bits", 30, 3, 4},
      {"pixel offset past the end", 10, 1000, 4},
      {"pixel offset inside the header", 10, 20, 4},
      {"pixel offset 0", 10, 0, 4},
      {"rows past the end", 22, 6, 4},
  };
  for (const Edit& e : edits) {
    std::vector<uint8_t> b = good;
    if (e.bytes == 1) b[e.at] = uint8_t(e.value);
    else if (e.bytes == 2) b[e.at] = uint8_t(e.value), b[e.at + 1] = uint8_t(e.value >> 8);
    else Put32LE(b, e.at, e.value);
    TBitmap bitmap;
    bitmap.LoadFromStream(b.data(), b.size(), 0);
    EXPECT_EQ(bitmap.Block(), nullptr) << e.what;
    EXPECT_EQ(bitmap.GetWidth(), 0) << e.what;
    EXPECT_FALSE(CBitmap32::Convert(bitmap, false, false).IsValid()) << e.what;
  }
  // A 41-byte header with bit fields, the file ending where the masks
  // would be (found by fuzzing: the masks were read past the end).
  const std::vector<uint8_t> shortMasks = {
      0x42, 0x4D, 0xAE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x29, 0x00,
      0x00, 0x00, 0x47, 0x00, 0x00, 0x00, 0xFB, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x20, 0x00, 0x03, 0x00,
      0x00, 0x00, 0x8C, 0x3D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF};
  {
    TBitmap bitmap;
    bitmap.LoadFromStream(shortMasks.data(), shortMasks.size(), 0);
    EXPECT_EQ(bitmap.Block(), nullptr);
  }
  // Bit fields with masks other than the usual ones.
  std::vector<uint8_t> b = Read("bmp32_bottomup.bmp");
  Put32LE(b, 54, 0x000000FF);
  TBitmap bitmap;
  bitmap.LoadFromStream(b.data(), b.size(), 0);
  EXPECT_EQ(bitmap.Block(), nullptr);
}

// Every one-byte change of every fixture decodes or fails cleanly (the
// sanitizer build checks every access on the way).
TEST(ImageDecode, OneByteDamageNeverCrashes) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.file);
    const std::vector<uint8_t> good = Read(v.file);
    for (size_t i = 0; i < good.size(); ++i) {
      for (uint8_t x : {uint8_t(0xFF), uint8_t(0x01), uint8_t(0x80)}) {
        std::vector<uint8_t> b = good;
        b[i] ^= x;
        Decoded d = Decode(KindOf(v.file), b);
        if (d.ok) {
          EXPECT_GT(d.width, 0);
          EXPECT_GT(d.height, 0);
          EXPECT_LE(d.width, kImageMaxSide);
          EXPECT_LE(d.height, kImageMaxSide);
        }
      }
    }
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(ImageDecode, MaxSideCanBeLowered) {
  const std::vector<uint8_t> png = Read("png_rgb.png"), jpeg = Read("jpeg_colour.jpg"), gif = Read("gif_trns.gif");
  int old = Image_SetMaxSide(6);
  EXPECT_EQ(old, kImageMaxSide);
  EXPECT_FALSE(Decode(Kind::Png, png).ok);
  EXPECT_FALSE(Decode(Kind::Jpeg, jpeg).ok);
  EXPECT_FALSE(Decode(Kind::Gif, gif).ok);
  EXPECT_FALSE(Decode(Kind::BmpOpaque, Read("bmp24_bottomup.bmp")).ok);
  Image_SetMaxSide(7);
  EXPECT_TRUE(Decode(Kind::Png, png).ok);
  EXPECT_EQ(Image_SetMaxSide(1 << 30), 7);  // clamped to the built-in limit
  EXPECT_EQ(Image_MaxSide(), kImageMaxSide);
}

// ---------------------------------------------------------------- writing

std::vector<uint8_t> TestRgba(int w, int h) {
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 37 + (i >> 2) * 11);
  return rgba;
}

std::vector<uint32_t> WordsOf(const std::vector<uint8_t>& rgba) {
  std::vector<uint32_t> w;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4)
    w.push_back(uint32_t(rgba[i + 3]) << 24 | uint32_t(rgba[i]) << 16 | uint32_t(rgba[i + 1]) << 8 | rgba[i + 2]);
  return w;
}

TEST(PngWrite, EncodeThenDecodeGivesThePixelsBack) {
  for (auto [w, h] : {std::pair{7, 5}, std::pair{1, 1}, std::pair{33, 2}}) {
    std::vector<uint8_t> rgba = TestRgba(w, h), png;
    ASSERT_TRUE(PNG_Encode(rgba.data(), w, h, &png));
    Decoded d = Decode(Kind::Png, png);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_EQ(d.pixels, WordsOf(rgba));
    // 8-bit RGBA, not interlaced.
    ASSERT_GT(png.size(), 29u);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 6);
    EXPECT_EQ(png[28], 0);
  }
}

TEST(PngWrite, TheLargestSideRoundTrips) {
  for (auto [w, h] : {std::pair{kImageMaxSide, 1}, std::pair{1, kImageMaxSide}}) {
    std::vector<uint8_t> rgba = TestRgba(w, h), png;
    ASSERT_TRUE(PNG_Encode(rgba.data(), w, h, &png));
    Decoded d = Decode(Kind::Png, png);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_EQ(d.pixels, WordsOf(rgba));
  }
}

TEST(PngWrite, BadArgumentsFail) {
  std::vector<uint8_t> rgba = TestRgba(2, 2), png;
  EXPECT_FALSE(PNG_Encode(nullptr, 2, 2, &png));
  EXPECT_FALSE(PNG_Encode(rgba.data(), 0, 2, &png));
  EXPECT_FALSE(PNG_Encode(rgba.data(), 2, -1, &png));
  EXPECT_FALSE(PNG_Encode(rgba.data(), kImageMaxSide + 1, 1, &png));
  EXPECT_FALSE(PNG_Encode(rgba.data(), 2, 2, nullptr));
  EXPECT_TRUE(png.empty());
  image_fixtures::TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::string path = dir.path() + "/x.png";
  EXPECT_FALSE(PNG_WriteToPath(nullptr, rgba.data(), 2, 2));
  EXPECT_FALSE(PNG_WriteToPath("", rgba.data(), 2, 2));
  EXPECT_FALSE(PNG_WriteToPath(path.c_str(), nullptr, 2, 2));
  EXPECT_FALSE(PNG_WriteToPath(path.c_str(), rgba.data(), 0, 2));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(PNG_WriteToPath((dir.path() + "/missing/x.png").c_str(), rgba.data(), 2, 2));
  // A directory in the way: nothing is replaced and no temporary file stays.
  std::filesystem::create_directory(dir.path() + "/taken.png");
  EXPECT_FALSE(PNG_WriteToPath((dir.path() + "/taken.png").c_str(), rgba.data(), 2, 2));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/taken.png"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(PngWrite, WriteToPathReplacesTheFileWhole) {
  image_fixtures::TempDir dir;
  std::string path = dir.path() + "/shot.png";
  std::vector<uint8_t> a = TestRgba(7, 5), b = TestRgba(3, 4);
  ASSERT_TRUE(PNG_WriteToPath(path.c_str(), a.data(), 7, 5));
  ASSERT_TRUE(PNG_WriteToPath(path.c_str(), b.data(), 3, 4));
  auto bytes = File_ReadAll(path);
  ASSERT_TRUE(bytes);
  Decoded d = Decode(Kind::Png, *bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.pixels, WordsOf(b));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary file left beside it
}

TEST(PngWrite, ImageMagickReadsTheWrittenFile) {
  const char* convert = image_fixtures::ConvertProgram();
  if (!convert) GTEST_SKIP() << "ImageMagick's convert is not installed";
  image_fixtures::TempDir dir;
  std::string path = dir.path() + "/shot.png";
  std::vector<uint8_t> rgba = TestRgba(7, 5);
  ASSERT_TRUE(PNG_WriteToPath(path.c_str(), rgba.data(), 7, 5));
  std::vector<uint8_t> out;
  ASSERT_TRUE(image_fixtures::RunCapture({convert, path, "-depth", "8", "rgba:-"}, &out));
  EXPECT_EQ(out, rgba);
  ASSERT_TRUE(image_fixtures::RunCapture({"/usr/bin/identify", "-format", "%w %h %z %[channels]", path}, &out));
  std::string described(out.begin(), out.end());
  EXPECT_EQ(described.substr(0, 9), "7 5 8 srg") << described;
}

TEST(PngWrite, WritePngFileGoesIntoTheSaveArea) {
  image_fixtures::TempDir dir;
  LoadSave_SetSaveArea(dir.path());
  std::vector<uint8_t> rgba = TestRgba(7, 5);
  EXPECT_TRUE(write_png_file("shots/one.png", rgba.data(), 7, 5));
  auto bytes = File_ReadAll(dir.path() + "/shots/one.png");
  ASSERT_TRUE(bytes);
  Decoded d = Decode(Kind::Png, *bytes);
  EXPECT_EQ(d.pixels, WordsOf(rgba));
  EXPECT_TRUE(write_png_file("shots\\two.png", rgba.data(), 7, 5));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/shots/two.png"));
  // Names that would leave the save area write nothing.
  EXPECT_FALSE(write_png_file("../escape.png", rgba.data(), 7, 5));
  EXPECT_FALSE(write_png_file("/tmp/tw-images-escape.png", rgba.data(), 7, 5));
  EXPECT_FALSE(write_png_file("", rgba.data(), 7, 5));
  EXPECT_FALSE(write_png_file(nullptr, rgba.data(), 7, 5));
  EXPECT_FALSE(write_png_file("bad.png", rgba.data(), 0, 5));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()).parent_path() / "escape.png"));
  LoadSave_SetSaveArea("");
}

}  // namespace
