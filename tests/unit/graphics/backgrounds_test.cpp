// The background table and its records, over the recording device.
#include "sprites/backgrounds.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "script/console.h"
#include "graphics/textures.h"
#include "graphics_fixture.h"
#include "pack.h"

namespace {

class Backgrounds : public TexturedGraphicsTest {
 protected:
  void SetUp() override {
    TexturedGraphicsTest::SetUp();
    device.captureVertices = true;
  }
};

std::vector<uint8_t> Container(bool entry, bool truncated) {
  twpack::Writer w;
  twpack::ChunkBuilder& t = w.AddChunk("TPAG");
  twpack::Label e = t.NewLabel();
  t.U32(1).OffsetOf(e).Bind(e);
  for (uint16_t v : {0, 0, 4, 4, 0, 0, 4, 4, 6, 5, 0}) t.U16(v);
  twpack::ChunkBuilder& b = w.AddChunk("BGND");
  twpack::Label r0 = b.NewLabel(), r1 = b.NewLabel();
  b.U32(3).OffsetOf(r0).U32(0).OffsetOf(r1);
  b.Bind(r0).StringRef("bg_page").U32(1).U32(0).U32(1);
  if (entry)
    b.OffsetOf(e);
  else
    b.U32(0);
  b.Bind(r1).StringRef("bg_none").U32(0).U32(0).U32(0);
  if (!truncated) b.U32(0);
  return w.Build();
}

TEST_F(Backgrounds, LoadsRecordsWithTheirEntrySizes) {
  GameDataFile file(Container(true, false));
  for (const ChunkRef& c : file.Chunks()) {
    if (!std::memcmp(c.tag, "TPAG", 4)) TPage_Load(ChunkBody(file, c));
    if (!std::memcmp(c.tag, "BGND", 4)) {
      ASSERT_TRUE(Background_Load(ChunkBody(file, c)));
    }
  }
  ASSERT_EQ(Background_Count(), 3);
  EXPECT_FALSE(Background_Exists(1));
  EXPECT_EQ(Background_GetName(1), "<undefined>");
  CBackgroundImage* b = Background_Get(0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetWidth(), 6);
  EXPECT_EQ(b->GetHeight(), 5);
  EXPECT_TRUE(b->GetTransparent());
  EXPECT_TRUE(b->GetPreload());
  EXPECT_NE(b->Entry(), nullptr);
  EXPECT_EQ(Background_Find("bg_none"), 2);
  // No entry: 0 x 0, and drawing it draws nothing.
  CBackgroundImage* none = Background_Get(2);
  EXPECT_EQ(none->GetWidth(), 0);
  device.ClearLog();
  none->Draw(0, 0);
  none->DrawTiled(0, 0, 1, 1, true, true, 0, 0, 64, 64, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u);
}

TEST_F(Backgrounds, RecordsPastTheContainerAreRefused) {
  GameDataFile file(Container(true, true));
  for (const ChunkRef& c : file.Chunks())
    if (!std::memcmp(c.tag, "BGND", 4)) {
      EXPECT_THROW(Background_Load(ChunkBody(file, c)), DataError);
    }
}

TEST_F(Backgrounds, TableOperations) {
  int a = Background_CreateNew();
  EXPECT_EQ(Background_GetName(a), "__newbackground0");
  Background_Get(a)->CreateColour(8, 4, 0x0000FF, false);
  EXPECT_NE(Background_Get(a)->OwnTexture(), -1);
  int d = Background_Duplicate(a);
  ASSERT_EQ(d, 1);
  EXPECT_EQ(Background_Get(d)->GetWidth(), 8);
  EXPECT_TRUE(Background_Get(d)->HasBitmap());
  EXPECT_NE(Background_Get(d)->OwnTexture(), Background_Get(a)->OwnTexture());
  EXPECT_FALSE(Background_Assign(2, a)) << "one past the end";
  EXPECT_TRUE(Background_Delete(a));
  EXPECT_FALSE(Background_Delete(a));
  EXPECT_TRUE(Background_Assign(a, d)) << "into an emptied slot";
  EXPECT_EQ(Background_Get(a)->GetHeight(), 4);
  device.ClearLog();
  Background_Get(a)->DrawStretched(0, 0, 0, 10, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u) << "no width";
  Background_Get(a)->DrawStretched(0, 0, 16, 16, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 1u);
}

TEST_F(Backgrounds, AnImageTooLargeIsClampedAndFilled) {
  TBitmap big;
  big.SetPixelFormat(kBitmap32);
  big.SetWidth(5000);
  big.SetHeight(2);
  uint8_t* row = nullptr;
  int stride = 0;
  ASSERT_NE(big.Lock(0, &row, &stride), nullptr);
  testing::internal::CaptureStdout();
  CBackgroundImage b;
  b.CreateFromBitmap(big, false, false, false, true);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error creating background: image width or height exceeds maximum texture size of 4096"),
            std::string::npos)
      << out;
  EXPECT_EQ(b.GetWidth(), 4096);
  EXPECT_EQ(b.GetHeight(), 2);
}

// A 4 x 2 page whose right 3 x 2 holds a background trimmed of its clear
// first column.
constexpr const char* kTrimmed =
    "ENTRY x=1 y=0 width=3 height=2 xoffset=1 original_width=4 original_height=2 page=0\n"
    "PAGE width=4 height=2 rgba=00000000100010ff200020ff300030ff00000000110011ff210021ff310031ff\n"
    "BGND \"bg\" entry=0\n";

// Texel (x, y) of that page, as the device word 0xAARRGGBB.
uint32_t Texel(int x, int y) {
  const uint32_t v = uint32_t(x * 16 + y);
  return 0xFF000000u | v << 16 | v;
}

class PageBackgrounds : public Backgrounds {
 protected:
  void Load(const char* text) {
    bytes_ = twpack::BuildFromDescription(text);
    file_ = std::make_unique<GameDataFile>(bytes_);
    for (const ChunkRef& c : file_->Chunks()) {
      ChunkBody body(*file_, c);
      if (!std::memcmp(c.tag, "TPAG", 4)) TPage_Load(body);
      if (!std::memcmp(c.tag, "TXTR", 4)) {
        ASSERT_TRUE(Texture_LoadPages(body));
      }
      if (!std::memcmp(c.tag, "BGND", 4)) {
        ASSERT_TRUE(Background_Load(body));
      }
    }
  }
  static uint32_t OwnPixel(const CBackgroundImage& b, int x, int y) {
    const TextureD3D* t = Texture_GetD3D(b.OwnTexture());
    return t ? t->kept[size_t(y) * size_t(t->Width()) + size_t(x)] : 0xDEADBEEF;
  }
  std::vector<uint8_t> bytes_;
  std::unique_ptr<GameDataFile> file_;
};

TEST_F(PageBackgrounds, ADuplicateGetsThePagePixelsAsItsOwn) {
  Load(kTrimmed);
  CBackgroundImage* original = Background_Get(0);
  ASSERT_NE(original->Entry(), nullptr);
  const int d = Background_Duplicate(0);
  CBackgroundImage* copy = Background_Get(d);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->HasBitmap());
  EXPECT_EQ(copy->Entry(), nullptr);
  ASSERT_NE(copy->OwnTexture(), -1);
  EXPECT_EQ(copy->GetTexture().texture, copy->OwnTexture());
  EXPECT_EQ(copy->GetTexture().entry, nullptr);
  EXPECT_EQ(copy->GetWidth(), 4);
  EXPECT_EQ(copy->GetHeight(), 2);
  // The stored rectangle sits at its offset; the trimmed column is clear.
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(OwnPixel(*copy, 0, y), 0u) << y;
    for (int x = 1; x < 4; ++x) EXPECT_EQ(OwnPixel(*copy, x, y), Texel(x, y)) << x << "," << y;
  }
  // The original still draws from the page.
  EXPECT_EQ(original->GetTexture().entry, original->Entry());
  EXPECT_EQ(original->GetTexture().texture, -1);
  EXPECT_FALSE(original->HasBitmap());

  // The copy's own texture is what it draws with.
  device.ClearLog();
  copy->Draw(0, 0);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 1u);
  EXPECT_EQ(device.Draws().back().texture, Texture_GetD3D(copy->OwnTexture())->texture);

  // Copying again is refused: it has a bitmap already.
  EXPECT_FALSE(copy->CopyFromPage());
}

TEST_F(PageBackgrounds, AlphaComesFromAnotherBackgroundOnlyWhenBothHaveBitmaps) {
  Load(kTrimmed);
  const int d = Background_Duplicate(0);
  CBackgroundImage mask;
  mask.CreateGradient(4, 1, 0x000000, 0xFFFFFF, kGradientHorizontal, false);

  testing::internal::CaptureStdout();
  Background_Get(0)->SetAlphaFrom(mask);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Both bitmaps need to be duplicated first\n"), std::string::npos) << out;
  EXPECT_FALSE(Background_Get(0)->HasBitmap());

  CBackgroundImage* copy = Background_Get(d);
  testing::internal::CaptureStdout();
  copy->SetAlphaFrom(mask);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Both bitmaps"), std::string::npos) << out;
  EXPECT_NE(copy->OwnTexture(), -1);
  // Row 0 takes the mask's grey (0, 64, 128, 191); row 1 lies past the
  // mask and keeps its alpha.
  EXPECT_EQ(OwnPixel(*copy, 1, 0) >> 24, 64u);
  EXPECT_EQ(OwnPixel(*copy, 3, 0) >> 24, 191u);
  EXPECT_EQ(OwnPixel(*copy, 2, 1) >> 24, 255u);
  EXPECT_EQ(OwnPixel(*copy, 1, 0) & 0xFFFFFFu, Texel(1, 0) & 0xFFFFFFu);
}

TEST_F(PageBackgrounds, APageThatCannotBeReadIsNotCopied) {
  // The entry's page does not exist: the copy keeps sharing the entry.
  Load("ENTRY x=0 y=0 width=2 height=2 page=3\nPAGE width=2 height=2 fill=0xFF0000FF\nBGND \"bg\" entry=0\n");
  EXPECT_FALSE(Background_Get(0)->CopyFromPage());
  const int d = Background_Duplicate(0);
  EXPECT_FALSE(Background_Get(d)->HasBitmap());
  EXPECT_NE(Background_Get(d)->Entry(), nullptr);
  // A readable page without a device cannot be read either.
  Load(kTrimmed);
  Graphics_SetDevice(nullptr);
  EXPECT_FALSE(Background_Get(0)->CopyFromPage());
  Graphics_SetDevice(&device);
  EXPECT_TRUE(Background_Get(0)->CopyFromPage());
  EXPECT_EQ(Background_Get(0)->Entry(), nullptr);
}

TEST_F(Backgrounds, AGradientBackgroundHasItsOwnTexture) {
  CBackgroundImage b;
  b.CreateGradient(3, 2, 0x0000FF, 0xFF0000, kGradientVertical, true);
  EXPECT_EQ(b.GetWidth(), 3);
  EXPECT_EQ(b.GetHeight(), 2);
  EXPECT_TRUE(b.GetPreload());
  EXPECT_FALSE(b.GetTransparent());
  ASSERT_NE(b.OwnTexture(), -1);
  EXPECT_EQ(b.GetTexture().texture, b.OwnTexture());
  const TextureD3D* t = Texture_GetD3D(b.OwnTexture());
  // Script colours 0xBBGGRR: red on top, half way to blue below it.
  EXPECT_EQ(t->kept[0], 0xFFFF0000u);
  EXPECT_EQ(t->kept[2], 0xFFFF0000u);
  EXPECT_EQ(t->kept[size_t(t->Width())], 0xFF800080u);
}

}  // namespace
