// The background table and its records, over the recording device.
#include "sprites/backgrounds.h"

#include <cstring>

#include "core/console.h"
#include "graphics/textures.h"
#include "graphics_fixture.h"
#include "pack.h"

namespace {

class Backgrounds : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    device.captureVertices = true;
  }
  void TearDown() override {
    Background_Clear();
    Texture_FreeAll();
    TPage_Clear();
    GraphicsTest::TearDown();
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
    if (!std::memcmp(c.tag, "BGND", 4)) ASSERT_TRUE(Background_Load(ChunkBody(file, c)));
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
    if (!std::memcmp(c.tag, "BGND", 4)) EXPECT_THROW(Background_Load(ChunkBody(file, c)), DataError);
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

}  // namespace
