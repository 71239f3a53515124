// DDS images: block-compressed and masked pixels, each against values worked
// out by hand from the block layout.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/image_codecs.h"
#include "image_fixtures.h"
#include "script/memory_manager.h"

namespace {

using image_fixtures::Dds;

struct Decoded {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
  Decoded d;
  uint32_t* p = DDS_Load(bytes.data(), bytes.size(), &d.width, &d.height);
  if (!p) return d;
  d.ok = true;
  d.pixels.assign(p, p + size_t(d.width) * size_t(d.height));
  MemoryManager::Release(p);
  return d;
}

// The colour half of a block: end points red (0xF800) and blue (0x001F) in
// the given order, pixel i taking index i mod 4.
void ColourHalf(std::vector<uint8_t>* b, uint16_t c0, uint16_t c1) {
  b->insert(b->end(), {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), 0xE4, 0xE4, 0xE4, 0xE4});
}

TEST(DdsDecode, BlocksOfEachKind) {
  struct Case {
    const char* fourCC;
    std::vector<uint8_t> block;
    uint32_t first4[4];
  };
  std::vector<uint8_t> dxt1, dxt1Three, dxt3, dxt5, dxt5Six;
  ColourHalf(&dxt1, 0xF800, 0x001F);
  ColourHalf(&dxt1Three, 0x001F, 0xF800);  // first not larger: three colours and clear
  // Explicit alphas 0xF, 0x1, 0x8, 0x0 for pixels 0 to 3; the colour half
  // has four colours even with its end points in this order.
  dxt3 = {0x1F, 0x08, 0, 0, 0, 0, 0, 0};
  ColourHalf(&dxt3, 0x001F, 0xF800);
  // Alpha 255 and 0, pixel i taking alpha index i mod 8 (3 bits each).
  dxt5 = {255, 0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
  ColourHalf(&dxt5, 0xF800, 0x001F);
  // Alpha 0 and 255: six steps of fifths then 0 and 255.
  dxt5Six = {0, 255, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
  ColourHalf(&dxt5Six, 0xF800, 0x001F);
  const Case cases[] = {
      {"DXT1", dxt1, {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA}},
      {"DXT1", dxt1Three, {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000}},
      {"DXT3", dxt3, {0xFF0000FF, 0x11FF0000, 0x885500AA, 0x00AA0055}},
      {"DXT2", dxt3, {0xFF0000FF, 0x11FF0000, 0x885500AA, 0x00AA0055}},
      {"DXT5", dxt5, {0xFFFF0000, 0x000000FF, 0xDAAA0055, 0xB65500AA}},
      {"DXT4", dxt5, {0xFFFF0000, 0x000000FF, 0xDAAA0055, 0xB65500AA}},
      {"DXT5", dxt5Six, {0x00FF0000, 0xFF0000FF, 0x33AA0055, 0x665500AA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourCC);
    Decoded d = Decode(Dds(4, 4, c.fourCC, c.block));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 4);
    EXPECT_EQ(d.height, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.pixels[size_t(i)], c.first4[i]) << i;
    // Row 1 repeats the colour indices of row 0.
    EXPECT_EQ(d.pixels[4] & 0xFFFFFF, c.first4[0] & 0xFFFFFF);
  }
}

TEST(DdsDecode, APartialBlockIsCutToTheImage) {
  // 5 x 5: four blocks, each of one colour (index 0 everywhere).
  std::vector<uint8_t> blocks;
  const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  for (uint16_t c : colours) blocks.insert(blocks.end(), {uint8_t(c), uint8_t(c >> 8), 0, 0, 0, 0, 0, 0});
  Decoded d = Decode(Dds(5, 5, "DXT1", blocks));
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.pixels.size(), 25u);
  EXPECT_EQ(d.pixels[0], 0xFFFF0000u);
  EXPECT_EQ(d.pixels[4], 0xFF00FF00u);       // (4, 0): the second block
  EXPECT_EQ(d.pixels[4 * 5], 0xFF0000FFu);   // (0, 4): the third
  EXPECT_EQ(d.pixels[4 * 5 + 4], 0xFFFFFFFFu);
}

TEST(DdsDecode, MaskedPixels) {
  // 32-bit B, G, R, A bytes with alpha; 16-bit 5:6:5 without.
  Decoded a = Decode(Dds(2, 1, "", {0x10, 0x20, 0x30, 0x40, 0xFF, 0x00, 0x80, 0x00}, 32,
                         {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}));
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.pixels, (std::vector<uint32_t>{0x40302010, 0x008000FF}));
  Decoded b = Decode(Dds(2, 1, "", {0x00, 0xF8, 0x10, 0x04}, 16, {0xF800, 0x07E0, 0x001F, 0}));
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF008284}));
  // 24 bits, alpha mask given but not flagged: opaque.
  Decoded c = Decode(Dds(1, 1, "", {0x01, 0x02, 0x03}, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0}));
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.pixels[0], 0xFF030201u);
}

TEST(DdsDecode, DamagedOrUnsupportedFilesFail) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  const std::vector<uint8_t> block(16, 0);
  std::vector<uint8_t> good = Dds(4, 4, "DXT5", block);
  ASSERT_TRUE(Decode(good).ok);
  std::vector<std::vector<uint8_t>> bad = {
      {},
      std::vector<uint8_t>(good.begin(), good.end() - 1),    // one byte short
      std::vector<uint8_t>(good.begin(), good.begin() + 127),  // header cut
      Dds(4, 4, "DX10", block),
      Dds(4, 4, "ATI2", block),
      Dds(0, 4, "DXT5", block),
      Dds(4, 0, "DXT5", block),
      Dds(uint32_t(kImageMaxSide) + 1, 1, "DXT5", std::vector<uint8_t>(16 * 4100, 0)),
      Dds(1, 1, "", {1, 2}, 8, {0xE0, 0x1C, 0x03, 0}),  // 8-bit pixels
      Dds(1, 1, "", {1, 2, 3}, 32, {0xFF0000, 0xFF00, 0xFF, 0}),  // short of one pixel
      Dds(0x40000000, 0x40000000, "DXT1", block),
  };
  std::vector<uint8_t> wrongSize = good;
  wrongSize[4] = 123;
  bad.push_back(wrongSize);
  for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(Decode(bad[i]).ok) << i;
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

}  // namespace
