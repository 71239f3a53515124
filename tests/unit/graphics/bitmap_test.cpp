#include "graphics/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/image_codecs.h"
#include "image_fixtures.h"
#include "script/memory_manager.h"

namespace {

using image_fixtures::Read;

// ---------------------------------------------------------------- BMP files

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A BMP file with a 40-byte header, `paletteEntries` 4-byte entries and
// `rows` bytes of pixels (already in file order).
std::vector<uint8_t> MakeBmp(int width, int height, int bits, int paletteEntries, const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& rows, uint32_t coloursUsed = 0) {
  const size_t offset = 54 + size_t(paletteEntries) * 4;
  std::vector<uint8_t> b(offset);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, uint32_t(offset + rows.size()));
  Put32(b, 10, uint32_t(offset));
  Put32(b, 14, 40);
  Put32(b, 18, uint32_t(width));
  Put32(b, 22, uint32_t(height));
  Put16(b, 26, 1);
  Put16(b, 28, uint16_t(bits));
  Put32(b, 34, uint32_t(rows.size()));
  Put32(b, 46, coloursUsed);
  std::copy_n(palette.begin(), std::min(palette.size(), size_t(paletteEntries) * 4), b.begin() + 54);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

TEST(TBitmap, NewBitmapIsEmpty) {
  TBitmap b;
  EXPECT_EQ(b.Block(), nullptr);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_EQ(b.GetPixelFormat(), kBitmap32);
  EXPECT_EQ(b.ChangeCount(), -1);
  EXPECT_FALSE(b.IsShared());
}

TEST(TBitmap, FormatsAndStrides) {
  const struct {
    int bits, format;
  } formats[] = {{1, 1}, {4, 2}, {8, 3}, {15, 4}, {16, 5}, {24, 6}, {32, 7}, {0, 7}, {2, 7}, {48, 7}};
  for (auto f : formats) EXPECT_EQ(Bitmap_FormatOfBits(f.bits), f.format) << f.bits;
  // Width 3 in each format, then other widths.
  const int strides3[] = {4, 4, 4, 8, 8, 12, 12};
  for (int format = 1; format <= 7; ++format) EXPECT_EQ(Bitmap_RowStride(3, format), strides3[format - 1]) << format;
  EXPECT_EQ(Bitmap_RowStride(7, kBitmap24), 24);
  EXPECT_EQ(Bitmap_RowStride(7, kBitmap32), 28);
  EXPECT_EQ(Bitmap_RowStride(33, kBitmap1), 8);
  EXPECT_EQ(Bitmap_RowStride(9, kBitmap4), 8);
  EXPECT_EQ(Bitmap_RowStride(0, kBitmap24), 0);
  EXPECT_EQ(Bitmap_RowStride(-1, kBitmap24), -1);
  EXPECT_EQ(Bitmap_RowStride(INT_MAX, kBitmap32), -1);
}

TEST(TBitmap, SettersCountChangesAndKeepTheBlock) {
  TBitmap b;
  b.SetWidth(3);
  EXPECT_EQ(b.ChangeCount(), 0);
  b.SetHeight(2);
  b.SetPixelFormat(kBitmap24);
  EXPECT_EQ(b.ChangeCount(), 2);
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.Block(), nullptr);
  uint8_t* row1 = nullptr;
  int stride = 0;
  uint8_t* start = b.Lock(1, &row1, &stride);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(b.ChangeCount(), 3);  // a new block
  EXPECT_EQ(stride, 12);
  EXPECT_EQ(row1, start + 12);
  EXPECT_EQ(b.BlockSize(), 12u * 2 + 52);
  EXPECT_EQ(start, b.Block() + 52);
  for (uint32_t i = 52; i < b.BlockSize(); ++i) EXPECT_EQ(b.Block()[i], 0);
  // The same block the next time; rows outside get no address.
  uint8_t* row = reinterpret_cast<uint8_t*>(1);
  EXPECT_EQ(b.Lock(2, &row, nullptr), start);
  EXPECT_EQ(row, nullptr);
  EXPECT_EQ(b.Lock(-1, &row, nullptr), start);
  EXPECT_EQ(row, nullptr);
  const uint8_t* block = b.Block();
  b.SetWidth(4);
  EXPECT_EQ(b.Block(), block);
  EXPECT_EQ(b.Stride(), 12);
  b.Unlock(start);
  b.Clear();
  EXPECT_EQ(b.Block(), nullptr);
  EXPECT_EQ(b.GetWidth(), 4);  // Clear frees the block only
}

TEST(TBitmap, LockRefusesAbsurdSizes) {
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, 5}, std::pair{kImageMaxSide + 1, 1},
                      std::pair{1, INT_MAX}}) {
    TBitmap b;
    b.SetWidth(w);
    b.SetHeight(h);
    uint8_t* row = nullptr;
    EXPECT_EQ(b.Lock(0, &row, nullptr), nullptr) << w << "x" << h;
    EXPECT_EQ(b.Block(), nullptr);
  }
}

TEST(TBitmap, Bmp24RowsEndUpTopFirst) {
  // 3 x 2, 24 bits: rows of 9 bytes padded to 12; the file stores the bottom
  // row first.
  std::vector<uint8_t> rows = {
      1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,           // bottom row
      11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0,  // top row
  };
  std::vector<uint8_t> file = MakeBmp(3, 2, 24, 0, {}, rows);
  TBitmap b;
  b.LoadFromStream(file.data(), file.size(), 0);
  ASSERT_NE(b.Block(), nullptr);
  EXPECT_EQ(b.GetWidth(), 3);
  EXPECT_EQ(b.GetHeight(), 2);
  EXPECT_EQ(b.GetPixelFormat(), kBitmap24);
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_EQ(b.BlockSize(), file.size() - 2);
  EXPECT_EQ(b.PixelStart(), b.Block() + 52);  // pixel offset 54 counts the "BM"
  EXPECT_EQ(b.PixelStart()[0], 11);           // the file's last row
  EXPECT_EQ(b.PixelStart()[12], 1);
  CBitmap32 image = CBitmap32::Convert(b, false, false);
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.At(0, 0), 0xFF0D0C0Bu);
  EXPECT_EQ(image.At(2, 1), 0xFF090807u);
}

TEST(TBitmap, Bmp8GoesThroughThePalette) {
  std::vector<uint8_t> palette(256 * 4);
  for (int i = 0; i < 256; ++i) {
    palette[size_t(i) * 4] = uint8_t(i);            // blue
    palette[size_t(i) * 4 + 1] = uint8_t(255 - i);  // green
    palette[size_t(i) * 4 + 2] = uint8_t(i / 2);    // red
    palette[size_t(i) * 4 + 3] = 0x77;              // reserved
  }
  // 2 x 2, rows of 4 bytes, bottom row first.
  std::vector<uint8_t> rows = {200, 0, 0, 0, 255, 7, 0, 0};
  std::vector<uint8_t> file = MakeBmp(2, 2, 8, 256, palette, rows);
  TBitmap b;
  b.LoadFromStream(file.data(), file.size(), 0);
  ASSERT_NE(b.Block(), nullptr);
  EXPECT_EQ(b.GetPixelFormat(), kBitmap32);
  EXPECT_EQ(b.BlockSize(), 2u * 2 * 4 + 52);
  EXPECT_EQ(b.Stride(), 8);
  // Index 200 takes palette entry 200 (offset 52 + 800 of the block read).
  CBitmap32 image = CBitmap32::FromTBitmap(b, false, false);
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.At(0, 0), 0xFF000000u | 255u / 2 << 16 | 0u << 8 | 255u);  // top row: index 255
  EXPECT_EQ(image.At(1, 0), 0xFF000000u | 3u << 16 | 248u << 8 | 7u);
  EXPECT_EQ(image.At(0, 1), 0xFF000000u | 100u << 16 | 55u << 8 | 200u);
  EXPECT_EQ(image.At(1, 1), 0xFF000000u | 0u << 16 | 255u << 8 | 0u);

  // A short palette: indices past its entries are black.
  std::vector<uint8_t> small = MakeBmp(2, 2, 8, 16, palette, rows, 16);
  b.LoadFromStream(small.data(), small.size(), 0);
  image = CBitmap32::FromTBitmap(b, false, false);
  ASSERT_TRUE(image.IsValid());
  EXPECT_EQ(image.At(0, 1), 0xFF000000u);
  EXPECT_EQ(image.At(1, 0), 0xFF000000u | 3u << 16 | 248u << 8 | 7u);
}

TEST(TBitmap, StreamPositionAndMagic) {
  std::vector<uint8_t> file = Read("bmp24_bottomup.bmp");
  TBitmap b;
  b.LoadFromStream(file.data(), file.size(), file.size());  // already at the end
  EXPECT_EQ(b.Block(), nullptr);
  b.LoadFromStream(file.data(), file.size(), 0);
  EXPECT_NE(b.Block(), nullptr);
  const int changes = b.ChangeCount();
  file[1] = 'N';
  b.LoadFromStream(file.data(), file.size(), 0);  // clears, loads nothing
  EXPECT_EQ(b.Block(), nullptr);
  EXPECT_GT(b.ChangeCount(), changes);
  b.LoadFromStream(nullptr, 0, 0);
  EXPECT_EQ(b.Block(), nullptr);
}

TEST(TBitmap, TopDownAndBottomUpLoadAlike) {
  for (const char* pair : {"bmp24", "bmp32"}) {
    std::vector<uint8_t> up = Read(std::string(pair) + "_bottomup.bmp"), down = Read(std::string(pair) + "_topdown.bmp");
    TBitmap a, b;
    a.LoadFromStream(up.data(), up.size(), 0);
    b.LoadFromStream(down.data(), down.size(), 0);
    ASSERT_NE(a.Block(), nullptr);
    ASSERT_NE(b.Block(), nullptr);
    EXPECT_EQ(b.GetHeight(), 5);
    EXPECT_EQ(std::memcmp(a.PixelStart(), b.PixelStart(), size_t(a.Stride()) * 5), 0) << pair;
  }
}

TEST(TBitmap, OtherDepthsLoadButDoNotConvert) {
  std::vector<uint8_t> four = Read("bmp4_bottomup.bmp");
  TBitmap b;
  b.LoadFromStream(four.data(), four.size(), 0);
  ASSERT_NE(b.Block(), nullptr);
  EXPECT_EQ(b.GetPixelFormat(), kBitmap4);
  EXPECT_EQ(b.Stride(), 4);
  EXPECT_FALSE(CBitmap32::Convert(b, false, false).IsValid());
  EXPECT_FALSE(CBitmap32::FromTBitmap(b, false, false).IsValid());
  // Run-length coded files are not read.
  std::vector<uint8_t> rle = Read("bmp8_rle.bmp");
  b.LoadFromStream(rle.data(), rle.size(), 0);
  EXPECT_EQ(b.Block(), nullptr);
}

TEST(TBitmap, AssignCopiesTheBlock) {
  std::vector<uint8_t> file = Read("bmp24_bottomup.bmp");
  TBitmap a, b;
  a.LoadFromStream(file.data(), file.size(), 0);
  b.Assign(a);
  ASSERT_NE(b.Block(), nullptr);
  EXPECT_NE(b.Block(), a.Block());
  EXPECT_EQ(b.BlockSize(), a.BlockSize());
  EXPECT_EQ(b.GetWidth(), 7);
  EXPECT_EQ(b.GetPixelFormat(), kBitmap24);
  EXPECT_EQ(b.Stride(), a.Stride());
  EXPECT_EQ(b.PixelStart() - b.Block(), a.PixelStart() - a.Block());
  EXPECT_EQ(std::memcmp(b.Block(), a.Block(), a.BlockSize()), 0);
  b.Assign(b);  // to itself: unchanged
  EXPECT_EQ(std::memcmp(b.Block(), a.Block(), a.BlockSize()), 0);
  TBitmap empty;
  b.Assign(empty);
  EXPECT_EQ(b.Block(), nullptr);
  EXPECT_EQ(b.GetWidth(), 0);
}

TEST(TBitmap, AttachChecksTheHeader) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  {
    const uint32_t pixels[6] = {1, 2, 3, 4, 5, 6};
    auto loader = BitmapLoader_Create(pixels, 3, 2);
    ASSERT_NE(loader, nullptr);
    auto frame = loader->GetFrame(0);
    ASSERT_NE(frame, nullptr);
    // A block claiming more rows than it holds is freed and refused.
    uint32_t size = frame->BlockSize();
    auto* block = static_cast<uint8_t*>(TW_ALLOC(size, false));
    std::memcpy(block, frame->Block(), size);
    block[20] = 3;
    TBitmap t;
    t.Attach(block, size);
    EXPECT_EQ(t.Block(), nullptr);
    EXPECT_EQ(t.GetWidth(), 0);
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(BitmapLoader, OneFrameOfCopiedPixels) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  {
    std::vector<uint32_t> pixels = {0xFF010203, 0x80040506, 0x00070809, 0xFFFFFFFF, 0x12345678, 0x9ABCDEF0};
    auto loader = BitmapLoader_Create(pixels.data(), 3, 2);
    ASSERT_NE(loader, nullptr);
    pixels[0] = 0;  // the loader holds its own copy
    EXPECT_FALSE(loader->GetFlag());
    EXPECT_EQ(loader->GetFrameCount(), 1);
    EXPECT_EQ(loader->GetFrame(1), nullptr);
    EXPECT_EQ(loader->GetFrame(-1), nullptr);
    auto frame = loader->GetFrame(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetWidth(), 3);
    EXPECT_EQ(frame->GetHeight(), 2);
    EXPECT_EQ(frame->GetPixelFormat(), kBitmap32);
    EXPECT_EQ(frame->Stride(), 12);
    EXPECT_EQ(frame->PixelStart(), frame->Block() + 52);
    const uint8_t* h = frame->Block();
    EXPECT_EQ(h[8], 52);
    EXPECT_EQ(h[12], 40);
    EXPECT_EQ(h[16], 3);
    EXPECT_EQ(h[20], 2);
    EXPECT_EQ(h[24], 1);
    EXPECT_EQ(h[26], 32);
    EXPECT_EQ(h[28], 0);
    CBitmap32 image = CBitmap32::FromTBitmap(*frame, false, false);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.At(0, 0), 0xFF010203u);
    EXPECT_EQ(image.At(1, 0), 0x80040506u);
    EXPECT_EQ(image.At(2, 1), 0x9ABCDEF0u);
    auto second = loader->GetFrame(0);
    EXPECT_NE(second->Block(), frame->Block());
    EXPECT_EQ(BitmapLoader_Create(nullptr, 3, 2), nullptr);
    EXPECT_EQ(BitmapLoader_Create(pixels.data(), 0, 2), nullptr);
    EXPECT_EQ(BitmapLoader_Create(pixels.data(), kImageMaxSide + 1, 1), nullptr);
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

// ---------------------------------------------------------------- CBitmap32

CBitmap32 Image(int w, int h, std::vector<uint32_t> px) {
  CBitmap32 b = CBitmap32::FromPixels(w, h, std::move(px));
  EXPECT_TRUE(b.IsValid());
  return b;
}

std::vector<uint32_t> PixelsOf(const CBitmap32& b) {
  int bytes = 0;
  const uint32_t* p = b.GetData(&bytes);
  return p ? std::vector<uint32_t>(p, p + bytes / 4) : std::vector<uint32_t>();
}

TEST(CBitmap32, Fill) {
  const struct {
    int w, h;
    uint32_t colour;
    int wantW, wantH;
    uint32_t word;
  } cases[] = {
      {0, 0, 0x0000FF, 1, 1, 0xFFFF0000},  // sizes of 0 or less become 1; script red
      {-5, 2, 0xFF0000, 1, 2, 0xFF0000FF},
      {3, 2, 0x123456, 3, 2, 0xFF563412},
      {2, 1, 0xAB000000u | 0x00FF00, 2, 1, 0xFF00FF00},
  };
  for (auto c : cases) {
    CBitmap32 b = CBitmap32::Fill(c.w, c.h, c.colour);
    ASSERT_TRUE(b.IsValid());
    EXPECT_EQ(b.GetWidth(), c.wantW);
    EXPECT_EQ(b.GetHeight(), c.wantH);
    int bytes = 0;
    b.GetData(&bytes);
    EXPECT_EQ(bytes, c.wantW * c.wantH * 4);
    for (uint32_t p : PixelsOf(b)) EXPECT_EQ(p, c.word);
  }
  EXPECT_FALSE(CBitmap32::Fill(kImageMaxSide + 1, 1, 0).IsValid());
}

TEST(CBitmap32, PartTable) {
  std::vector<uint32_t> px(12);
  for (uint32_t i = 0; i < 12; ++i) px[i] = 0xFF000000u | i;
  CBitmap32 src = Image(4, 3, px);
  const struct {
    int x, y, w, h;
    bool valid;
  } cases[] = {
      {0, 0, 4, 3, true},   {1, 1, 3, 2, true},       {3, 2, 1, 1, true},  {0, 0, 0, 0, true},
      {1, 1, 4, 2, false},  {1, 1, 3, 3, false},      {-1, 0, 1, 1, false}, {0, -1, 1, 1, false},
      {4, 0, 1, 1, false},  {0, 0, -1, 1, false},     {0, 0, 1, -1, false}, {INT_MAX, 0, 1, 1, false},
      {1, 0, INT_MAX, 1, false},
  };
  for (auto c : cases) {
    CBitmap32 part = CBitmap32::Part(src, c.x, c.y, c.w, c.h);
    EXPECT_EQ(part.IsValid(), c.valid) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    if (!part.IsValid()) continue;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) EXPECT_EQ(part.At(x, y), src.At(c.x + x, c.y + y));
  }
  EXPECT_FALSE(CBitmap32::Part(CBitmap32(), 0, 0, 0, 0).IsValid());
}

TEST(CBitmap32, CopyAndAssign) {
  CBitmap32 a = Image(2, 1, {1, 2});
  CBitmap32 b(a);
  EXPECT_TRUE(b.IsValid());
  EXPECT_EQ(PixelsOf(b), PixelsOf(a));
  b.Pixels()[0] = 9;
  EXPECT_EQ(a.At(0, 0), 1u);  // the pixels were duplicated
  CBitmap32 c;
  c.Assign(a);
  EXPECT_EQ(PixelsOf(c), PixelsOf(a));
  CBitmap32 invalid;
  CBitmap32 d(invalid);
  EXPECT_FALSE(d.IsValid());
  EXPECT_EQ(d.GetData(nullptr), nullptr);
}

TEST(CBitmap32, FromTBitmapKeepsAlphaConvertForcesIt) {
  std::vector<uint8_t> file = Read("bmp32_bottomup.bmp");
  TBitmap b;
  b.LoadFromStream(file.data(), file.size(), 0);
  CBitmap32 kept = CBitmap32::FromTBitmap(b, false, false);
  CBitmap32 opaque = CBitmap32::Convert(b, false, false);
  ASSERT_TRUE(kept.IsValid());
  ASSERT_TRUE(opaque.IsValid());
  bool someTranslucent = false;
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      someTranslucent |= (kept.At(x, y) >> 24) != 0xFF;
      EXPECT_EQ(opaque.At(x, y), kept.At(x, y) | 0xFF000000u);
    }
  }
  EXPECT_TRUE(someTranslucent);
  EXPECT_EQ(PixelsOf(CBitmap32::Strip(b, false, false, true)), PixelsOf(kept));
  EXPECT_EQ(PixelsOf(CBitmap32::Strip(b, false, false, false)), PixelsOf(opaque));
  // 24 bits: only the conversion reads them.
  std::vector<uint8_t> file24 = Read("bmp24_bottomup.bmp");
  TBitmap b24;
  b24.LoadFromStream(file24.data(), file24.size(), 0);
  EXPECT_FALSE(CBitmap32::FromTBitmap(b24, false, false).IsValid());
  EXPECT_TRUE(CBitmap32::Convert(b24, false, false).IsValid());
  EXPECT_FALSE(CBitmap32::Convert(TBitmap(), false, false).IsValid());
}

TEST(CBitmap32, ConstructorFlagsRemoveAndSmooth) {
  std::vector<uint8_t> file = Read("bmp24_bottomup.bmp");
  TBitmap b;
  b.LoadFromStream(file.data(), file.size(), 0);
  CBitmap32 plain = CBitmap32::Convert(b, false, false);
  CBitmap32 removed = plain, smoothed = plain;
  removed.RemoveBackground();
  smoothed.RemoveBackground();
  smoothed.Smooth();
  EXPECT_EQ(PixelsOf(CBitmap32::Convert(b, false, true)), PixelsOf(plain));  // smoothing needs both flags
  EXPECT_EQ(PixelsOf(CBitmap32::Convert(b, true, false)), PixelsOf(removed));
  EXPECT_EQ(PixelsOf(CBitmap32::Convert(b, true, true)), PixelsOf(smoothed));
}

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, M = 0xFFFF00FF;

TEST(CBitmap32, RemoveBackground) {
  // The key is the bottom-left colour (magenta); each cleared pixel next to
  // an opaque one takes that neighbour's colour (left, right, above, below).
  CBitmap32 img = Image(3, 3, {R, M, M, M, G, M, M, M, B});
  img.RemoveBackground();
  std::vector<uint32_t> want = {R,          0x00FF0000, 0x00FF00FF,  //
                                0x0000FF00, G,          0x0000FF00,  //
                                0x00FF00FF, 0x000000FF, B};
  EXPECT_EQ(PixelsOf(img), want);
  // Only the low 24 bits are compared with the key.
  CBitmap32 half = Image(2, 1, {0x80FF00FFu, 0x00FF00FFu});
  half.RemoveBackground();
  EXPECT_EQ(PixelsOf(half), (std::vector<uint32_t>{0x00FF00FF, 0x00FF00FF}));
  // A pixel already transparent takes a colour too.
  CBitmap32 clear = Image(2, 1, {0x00123456, R});
  clear.RemoveBackground();
  EXPECT_EQ(PixelsOf(clear), (std::vector<uint32_t>{0x00FF0000, R}));
}

TEST(CBitmap32, Smooth) {
  // Every neighbour of a transparent pixel (alpha 0x20 or more) loses 0x20.
  std::vector<uint32_t> px(9, 0xFF000000);
  px[4] = 0;
  CBitmap32 img = Image(3, 3, px);
  img.Smooth();
  for (int i = 0; i < 9; ++i) EXPECT_EQ(img.Pixels()[i] >> 24, i == 4 ? 0u : 0xDFu) << i;
  // A pixel brought to 0 counts as transparent for those after it.
  CBitmap32 chain = Image(3, 1, {0x00000000, 0x20000000, 0xFF000000});
  chain.Smooth();
  EXPECT_EQ(PixelsOf(chain), (std::vector<uint32_t>{0, 0, 0xDF000000}));
  // Below 0x20 nothing is taken.
  CBitmap32 low = Image(2, 1, {0x00000000, 0x1F000000});
  low.Smooth();
  EXPECT_EQ(PixelsOf(low), (std::vector<uint32_t>{0, 0x1F000000}));
  // Two transparent neighbours lower a pixel twice.
  CBitmap32 twice = Image(3, 1, {0, 0xFF000000, 0});
  twice.Smooth();
  EXPECT_EQ(twice.At(1, 0), 0xBF000000u);
}

TEST(CBitmap32, SetAlphaFrom) {
  CBitmap32 img = Image(2, 2, {0xFF112233, 0x40112233, 0xFF112233, 0xFF112233});
  CBitmap32 mask = Image(3, 1, {0xFF306090, 0x00FFFFFF, 0x12000000});
  img.SetAlphaFrom(mask);
  // (0x30 + 0x60 + 0x90) / 3 = 0x60; own alpha 0x40 below 0xFF stays; row 1
  // is outside the mask.
  EXPECT_EQ(PixelsOf(img), (std::vector<uint32_t>{0x60112233, 0x40112233, 0xFF112233, 0xFF112233}));
  CBitmap32 grey = Image(1, 1, {0xFF112233});
  grey.SetAlphaFrom(Image(1, 1, {0xFF010102}));  // 4 / 3 = 1
  EXPECT_EQ(grey.At(0, 0), 0x01112233u);
  grey.SetAlphaFrom(CBitmap32());  // an invalid mask changes nothing
  EXPECT_EQ(grey.At(0, 0), 0x01112233u);
}

TEST(CBitmap32, ResizeNearest) {
  const struct {
    int w, h;
    std::vector<uint32_t> src;
    int nw, nh;
    std::vector<uint32_t> want;
  } cases[] = {
      {2, 2, {1, 2, 3, 4}, 4, 4, {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}},
      {3, 1, {1, 2, 3}, 2, 1, {1, 2}},
      {4, 1, {1, 2, 3, 4}, 3, 1, {1, 2, 3}},
      {1, 3, {1, 2, 3}, 1, 2, {1, 2}},
      {3, 2, {1, 2, 3, 4, 5, 6}, 3, 2, {1, 2, 3, 4, 5, 6}},  // unchanged size
      {3, 2, {1, 2, 3, 4, 5, 6}, 0, 2, {1, 2, 3, 4, 5, 6}},  // refused size
      {3, 2, {1, 2, 3, 4, 5, 6}, 3, -1, {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    CBitmap32 img = Image(c.w, c.h, c.src);
    img.Resize(c.nw, c.nh);
    EXPECT_EQ(PixelsOf(img), c.want) << c.w << "x" << c.h << " to " << c.nw << "x" << c.nh;
  }
  CBitmap32 img = Image(2, 1, {1, 2});
  img.Resize(5, 3);
  EXPECT_EQ(img.GetWidth(), 5);
  EXPECT_EQ(img.GetHeight(), 3);
  int bytes = 0;
  img.GetData(&bytes);
  EXPECT_EQ(bytes, 60);
}

TEST(CBitmap32, GetBounds) {
  const struct {
    int w, h;
    std::vector<std::pair<int, int>> opaque;
    BitmapBounds want;
  } cases[] = {
      {4, 3, {}, {3, 2, 0, 0}},  // nothing opaque: the start value, left past right
      {4, 3, {{1, 2}}, {1, 2, 1, 2}},
      {4, 3, {{0, 1}, {3, 0}}, {0, 0, 3, 1}},
      {4, 3, {{3, 2}}, {3, 2, 3, 2}},
      {1, 1, {{0, 0}}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> px(size_t(c.w * c.h), 0x00FFFFFF);
    for (auto [x, y] : c.opaque) px[size_t(y * c.w + x)] = 0x01000000;
    auto bounds = Image(c.w, c.h, px).GetBounds();
    ASSERT_TRUE(bounds.has_value());
    EXPECT_EQ(*bounds, c.want);
  }
  EXPECT_FALSE(CBitmap32().GetBounds().has_value());
}

TEST(CBitmap32, ToTBitmapWritesRgbaBytes) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  {
    CBitmap32 img = Image(2, 1, {0x80112233, 0xFFAABBCC});
    auto t = img.ToTBitmap();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetPixelFormat(), kBitmap32);
    EXPECT_EQ(t->GetWidth(), 2);
    EXPECT_EQ(t->GetHeight(), 1);
    const uint8_t* p = t->PixelStart();
    const uint8_t want[8] = {0x11, 0x22, 0x33, 0x80, 0xAA, 0xBB, 0xCC, 0xFF};
    EXPECT_EQ(std::memcmp(p, want, 8), 0);
    EXPECT_EQ(CBitmap32().ToTBitmap(), nullptr);
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST(CBitmap32, InvalidImagesIgnoreEveryOperation) {
  CBitmap32 none;
  none.RemoveBackground();
  none.Smooth();
  none.SetAlphaFrom(Image(1, 1, {0}));
  none.Resize(4, 4);
  EXPECT_FALSE(none.IsValid());
  EXPECT_EQ(none.GetWidth(), 0);
  EXPECT_EQ(none.Pixels(), nullptr);
  int bytes = 7;
  EXPECT_EQ(none.GetData(&bytes), nullptr);
  EXPECT_EQ(bytes, 0);
  // Empty valid images too.
  for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0}}) {
    CBitmap32 empty = CBitmap32::Part(Image(1, 1, {M}), 0, 0, w, h);
    empty.RemoveBackground();
    empty.Smooth();
    empty.SetAlphaFrom(Image(1, 1, {0}));
    empty.Resize(3, 2);  // nothing to stretch
    EXPECT_TRUE(empty.IsValid());
    EXPECT_EQ(empty.GetWidth(), w);
    EXPECT_EQ(empty.GetHeight(), h);
    ASSERT_TRUE(empty.GetBounds().has_value());
    auto t = empty.ToTBitmap();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Block(), nullptr);
  }
}

// ---------------------------------------------------------------- gradients

uint32_t Word(int r, int g, int b) { return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

std::vector<uint32_t> Rows(const CBitmap32& img) { return PixelsOf(img); }

TEST(Gradient, TableOfKinds) {
  const uint32_t black = 0x000000, red = 0x0000FF;  // script colours 0x00BBGGRR
  const struct {
    const char* what;
    int w, h;
    uint32_t c1, c2;
    int kind;
    std::vector<uint32_t> want;
  } cases[] = {
      // Colour 2 itself is never reached across.
      {"horizontal", 4, 1, black, red, 0, {Word(0, 0, 0), Word(64, 0, 0), Word(128, 0, 0), Word(191, 0, 0)}},
      {"horizontal rows alike", 2, 2, black, red, 0, {Word(0, 0, 0), Word(128, 0, 0), Word(0, 0, 0), Word(128, 0, 0)}},
      // Halves go to the even neighbour: 0.5 -> 0, 1.5 -> 2.
      {"halves to even", 2, 1, 0x000000, 0x000301, 0, {Word(0, 0, 0), Word(0, 2, 0)}},
      {"vertical", 1, 4, black, red, 1, {Word(0, 0, 0), Word(64, 0, 0), Word(128, 0, 0), Word(191, 0, 0)}},
      {"double horizontal", 5, 1, black, red, 4,
       {Word(0, 0, 0), Word(128, 0, 0), Word(255, 0, 0), Word(128, 0, 0), Word(0, 0, 0)}},
      {"double vertical", 1, 4, black, red, 5, {Word(0, 0, 0), Word(128, 0, 0), Word(128, 0, 0), Word(0, 0, 0)}},
      {"double on one pixel", 1, 1, red, black, 4, {Word(255, 0, 0)}},
      {"rectangle 5x5", 5, 5, black, red, 2,
       {Word(0, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),   Word(0, 0, 0),     Word(0, 0, 0),  //
        Word(0, 0, 0), Word(128, 0, 0),   Word(128, 0, 0), Word(128, 0, 0),   Word(0, 0, 0),  //
        Word(0, 0, 0), Word(128, 0, 0),   Word(255, 0, 0), Word(128, 0, 0),   Word(0, 0, 0),  //
        Word(0, 0, 0), Word(128, 0, 0),   Word(128, 0, 0), Word(128, 0, 0),   Word(0, 0, 0),  //
        Word(0, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),   Word(0, 0, 0),     Word(0, 0, 0)}},
      {"rectangle 1x3", 1, 3, red, black, 2, {Word(255, 0, 0), Word(255, 0, 0), Word(255, 0, 0)}},
      // Ring 1 of a 5x5 ellipse has half-axes 1: the centre and its four
      // neighbours.
      {"ellipse 5x5", 5, 5, black, red, 3,
       {Word(0, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),   Word(0, 0, 0),     Word(0, 0, 0),  //
        Word(0, 0, 0), Word(0, 0, 0),     Word(128, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),  //
        Word(0, 0, 0), Word(128, 0, 0),   Word(128, 0, 0), Word(128, 0, 0),   Word(0, 0, 0),  //
        Word(0, 0, 0), Word(0, 0, 0),     Word(128, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),  //
        Word(0, 0, 0), Word(0, 0, 0),     Word(0, 0, 0),   Word(0, 0, 0),     Word(0, 0, 0)}},
      {"ellipse 1x1", 1, 1, red, black, 3, {Word(255, 0, 0)}},
      {"unknown kind", 2, 1, red, red, 6, {Word(0, 0, 0), Word(0, 0, 0)}},
      {"negative kind", 1, 1, red, red, -1, {Word(0, 0, 0)}},
      {"sizes of 0 become 1", 0, -3, red, black, 0, {Word(255, 0, 0)}},
      {"every channel", 2, 1, 0x302010, 0x706050, 0, {Word(0x10, 0x20, 0x30), Word(0x30, 0x40, 0x50)}},
  };
  for (const auto& c : cases) {
    CBitmap32 img = CBitmap32::Gradient(c.w, c.h, c.c1, c.c2, c.kind);
    ASSERT_TRUE(img.IsValid()) << c.what;
    EXPECT_EQ(Rows(img), c.want) << c.what;
  }
  EXPECT_FALSE(CBitmap32::Gradient(kImageMaxSide + 1, 1, 0, 0, 0).IsValid());
}

// The ellipse kind painted the slow way: colour 1, then every ring k < s
// painted over the earlier ones.
std::vector<uint32_t> EllipseRingByRing(int w, int h, uint32_t c1, uint32_t c2) {
  auto mix = [&](double t) {
    uint32_t word = 0xFF000000u;
    for (int ch = 0; ch < 3; ++ch) {
      double a = double(c1 >> (8 * ch) & 0xFF), b = double(c2 >> (8 * ch) & 0xFF);
      word |= uint32_t(std::nearbyint(a * (1 - t) + b * t)) << (16 - 8 * ch);
    }
    return word;
  };
  std::vector<uint32_t> px(size_t(w * h), mix(0));
  const int s = std::min(w, h) / 2;
  for (int k = 0; k < s; ++k) {
    const double a = (w - 2 * k) / 2, b = (h - 2 * k) / 2;
    for (int i = k; i <= h - 1 - k; ++i)
      for (int j = k; j <= w - 1 - k; ++j) {
        double dx = j - w / 2, dy = i - h / 2;
        if (dx * dx / (a * a) + dy * dy / (b * b) <= 1) px[size_t(i * w + j)] = mix(double(k) / s);
      }
  }
  return px;
}

TEST(Gradient, EllipseMatchesTheRingByRingPainting) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{5, 5}, std::pair{7, 4}, std::pair{9, 6},
                      std::pair{16, 9}, std::pair{33, 20}, std::pair{6, 31}, std::pair{64, 64},
                      std::pair{101, 77}, std::pair{2, 2}}) {
    CBitmap32 img = CBitmap32::Gradient(w, h, 0x102030, 0xF0E0D0, kGradientEllipse);
    EXPECT_EQ(Rows(img), EllipseRingByRing(w, h, 0x102030, 0xF0E0D0)) << w << "x" << h;
  }
}

}  // namespace
