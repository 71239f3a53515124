// Textured quads over the recording device: vertices, texture coordinates,
// corner ids, culling and batching; the texture size rule; the image chunk
// loaders on containers written by tw-pack.
#include "graphics/textures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/instances.h"
#include "graphics/image_codecs.h"
#include "graphics/viewport.h"
#include "pack.h"
#include "sprites/sprites.h"
#include "unit/graphics/graphics_fixture.h"
#include "unit/graphics/image_fixtures.h"

namespace {

class TextureTest : public TexturedGraphicsTest {
 protected:
  void SetUp() override {
    TexturedGraphicsTest::SetUp();
    device.captureVertices = true;
    Graphics_SetViewRect(0, 0, 640, 480);
  }

  // A page of w x h pixels in the table.
  int Page(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * h, 0xFF00FF00u);
    return Texture_AddFromPixels(w, h, px.data(), px.size() * 4);
  }

  TexturePageEntry* Entry(int page, int x, int y, int w, int h, int xoff = 0, int yoff = 0) {
    TexturePageEntry e;
    e.x = x, e.y = y, e.width = w, e.height = h, e.xOffset = xoff, e.yOffset = yoff;
    e.cropWidth = w, e.cropHeight = h, e.originalWidth = xoff + w, e.originalHeight = yoff + h;
    e.texture = page;
    return TPage_Get(TPage_Add(e));
  }

  std::vector<TexturedVertex> Drawn(size_t draw = 0) {
    VertexBatch_Flush();
    EXPECT_GT(device.Draws().size(), draw);
    if (device.Draws().size() <= draw) return {};
    const auto& bytes = device.Draws()[draw].vertices;
    std::vector<TexturedVertex> v(bytes.size() / sizeof(TexturedVertex));
    std::memcpy(v.data(), bytes.data(), v.size() * sizeof(TexturedVertex));
    return v;
  }
};

TEST_F(TextureTest, APageEntryIsDrawnAtItsOffsetWithItsPageRectangle) {
  TexturePageEntry* e = Entry(Page(64, 32), 8, 4, 16, 8, 3, 2);
  ASSERT_TRUE(TPage_Draw(e, 100, 50));
  auto v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  // top-left, top-right, bottom-right, bottom-right, bottom-left, top-left
  const float want[6][4] = {{103, 52, 8 / 64.f, 4 / 32.f},  {119, 52, 24 / 64.f, 4 / 32.f},
                            {119, 60, 24 / 64.f, 12 / 32.f}, {119, 60, 24 / 64.f, 12 / 32.f},
                            {103, 60, 8 / 64.f, 12 / 32.f},  {103, 52, 8 / 64.f, 4 / 32.f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(v[i].x, want[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, want[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].u, want[i][2]) << i;
    EXPECT_FLOAT_EQ(v[i].v, want[i][3]) << i;
    EXPECT_EQ(v[i].colour, 0xFFFFFFFFu);
  }
  EXPECT_EQ(device.Draws()[0].type, gfx::Prim_TriangleList);
}

TEST_F(TextureTest, CornerIdsMarkTheLowBitsOfRedAndBlue) {
  Texture_SetDrawHooks({nullptr, [] { return true; }});
  ASSERT_TRUE(TPage_Draw(Entry(Page(16, 16), 0, 0, 16, 16), 0, 0));
  auto v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].colour, 0xFFFEFFFEu);  // top-left
  EXPECT_EQ(v[1].colour, 0xFFFEFFFFu);  // top-right
  EXPECT_EQ(v[2].colour, 0xFFFFFFFEu);  // bottom-right
  EXPECT_EQ(v[4].colour, 0xFFFFFFFFu);  // bottom-left
}

TEST_F(TextureTest, ExtScalesAboutTheOriginAndSmallAnglesStayAxisAligned) {
  TexturePageEntry* e = Entry(Page(32, 32), 0, 0, 10, 6, 2, 1);
  ASSERT_TRUE(TPage_DrawExt(e, 4, 3, 50, 60, 2, 3, 0.0009f, 0x0000FF, 0.5f));
  auto v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].x, 50 + (2 - 4) * 2.f);
  EXPECT_FLOAT_EQ(v[0].y, 60 + (1 - 3) * 3.f);
  EXPECT_FLOAT_EQ(v[2].x, 50 + (2 - 4) * 2.f + 20);
  EXPECT_FLOAT_EQ(v[2].y, 60 + (1 - 3) * 3.f + 18);
  EXPECT_EQ(v[0].colour, 0x7FFF0000u);  // red, alpha truncated
}

TEST_F(TextureTest, PartClippedOnTheLeftAtNinetyDegreesMovesAlongYByAWholeNumber) {
  TexturePageEntry* e = Entry(Page(64, 64), 0, 0, 20, 20, 5, 0);
  const float a = 90 * 0.01745329238f;
  ASSERT_TRUE(TPage_DrawPart(e, 2, 0, 10, 10, 100, 100, 1, 1, a, 0xFFFFFF, 1));
  auto v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  // d = 3: x += trunc(3 cos a) = 0, y -= trunc(3 sin a) = 3; top-left first.
  EXPECT_FLOAT_EQ(v[0].x, 100);
  EXPECT_FLOAT_EQ(v[0].y, 97);
  EXPECT_FLOAT_EQ(v[0].u, 0);  // source x 0 after the clip
}

TEST_F(TextureTest, ARotatedWholeTextureGeneralQuadStartsHalfAUnitOut) {
  const int t = Page(16, 16);
  ASSERT_TRUE(Texture_DrawGeneral(t, 0, 0, 16, 16, 10, 10, 1, 1, 0.009f, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 1));
  ASSERT_TRUE(Texture_DrawGeneral(t, 0, 0, 16, 16, 10, 10, 1, 1, 3.1415927f, 0xFF, 0xFF00, 0xFF0000, 0, 1));
  auto flat = Drawn(0), turned = Drawn(1);
  ASSERT_EQ(flat.size(), 4u);
  EXPECT_FLOAT_EQ(flat[0].x, 10);
  EXPECT_FLOAT_EQ(flat[0].y, 10);
  ASSERT_EQ(turned.size(), 4u);
  EXPECT_NEAR(turned[0].x, 10.5f, 1e-4);  // (-0.5, -0.5) turned by pi
  EXPECT_NEAR(turned[0].y, 10.5f, 1e-4);
  EXPECT_EQ(turned[0].colour, 0xFFFF0000u);
  EXPECT_EQ(turned[1].colour, 0xFF00FF00u);
}

TEST_F(TextureTest, TiledPagesKeepThePhaseOfTheScaledUntrimmedWidth) {
  TexturePageEntry* e = Entry(Page(32, 32), 0, 0, 10, 10, 3, 0);  // untrimmed 13 wide
  ASSERT_TRUE(TPage_DrawTiled(e, 1, 0, 7, 0, 2, 1, true, false, 0, 0, 100, 10, 0xFFFFFF, 1));
  auto v = Drawn();
  ASSERT_GE(v.size(), 12u);
  // c0 = trunc((3 - 1) * 2) + 7 = 11; period 26: 11 - 26 = -15, then one
  // period back. The first vertex is the tile's bottom-left.
  EXPECT_FLOAT_EQ(v[1].x, -41);
  EXPECT_FLOAT_EQ(v[7].x, -15);
  EXPECT_EQ(v.size() % 6, 0u);
}

TEST_F(TextureTest, WholeTextureTilingOffDrawsOneQuadEvenOutsideTheView) {
  ASSERT_TRUE(Texture_DrawTiled(Page(8, 8), 0, 0, 5000, 5000, 1, 1, false, false, 0, 0, 100, 100, 0xFFFFFF, 1));
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 1u);
}

TEST_F(TextureTest, AHugeViewDoesNotHangTheTiler) {
  EXPECT_FALSE(TPage_DrawTiled(Entry(Page(8, 8), 0, 0, 1, 1), 0, 0, 0, 0, 1, 1, true, true, 0, 0, 1e9f, 1e9f,
                               0xFFFFFF, 1));
}

TEST_F(TextureTest, BadHandlesDrawNothing) {
  EXPECT_FALSE(TPage_Draw(nullptr, 0, 0));
  EXPECT_FALSE(Texture_Draw(-1, 0, 0));
  EXPECT_FALSE(Texture_Draw(99, 0, 0));
  TexturePageEntry* e = Entry(-1, 0, 0, 4, 4);
  EXPECT_FALSE(TPage_DrawExt(e, 0, 0, 0, 0, 1, 1, 0, 0, 1));
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u);
}

TEST_F(TextureTest, QuadsOfOnePageMergeUntilThePageOrTheBlendChanges) {
  const int a = Page(64, 64), b = Page(64, 64);
  TexturePageEntry* ea = Entry(a, 0, 0, 8, 8);
  TexturePageEntry* eb = Entry(b, 0, 0, 8, 8);
  for (int i = 0; i < 100; ++i) TPage_DrawExt(ea, 0, 0, float(i), 0, 1, 1, 0, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 1u);
  EXPECT_EQ(device.Draws()[0].primitiveCount, 200);
  for (int i = 0; i < 4; ++i) TPage_DrawExt(i % 2 ? eb : ea, 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 5u);
  TPage_DrawExt(ea, 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  RenderState_SetBlendMode(1);
  TPage_DrawExt(ea, 0, 0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 7u);
}

TEST_F(TextureTest, SizesRoundUpToPowersOfTwoExceptForRenderTargets) {
  struct Case {
    int w, h;
    bool rt;
    int tw, th;
  } cases[] = {{100, 30, false, 128, 32}, {100, 30, true, 100, 30}, {4097, 1, false, 4096, 1}, {1, 1, false, 1, 1}};
  for (const Case& c : cases) {
    TextureD3D* t = TextureD3D_Create(c.w, c.h, 1, c.rt ? kTextureFlagRenderTarget : 0, kTexFormatA8R8G8B8);
    ASSERT_NE(t, nullptr);
    int w = 0, h = 0;
    device.TextureSize(t->texture, &w, &h);
    EXPECT_EQ(w, c.tw) << c.w;
    EXPECT_EQ(h, c.th) << c.h;
    EXPECT_EQ(t->Width(), c.tw);
    TextureD3D_Free(t);
  }
  EXPECT_EQ(TextureD3D_LiveCount(), 0u);
}

TEST_F(TextureTest, RawBlocksSwapRedAndBlueOnACopy) {
  const uint8_t raw32[] = {'R', 'A', 'W', ' ', 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x22, 0x33, 0x44};
  const uint8_t raw16[] = {'R', 'A', 'W', ' ', 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x34, 0x12};
  TextureD3D* t = TextureD3D_CreateFromImage(raw32, sizeof raw32, nullptr, 0, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kept[0], 0x44112233u);
  EXPECT_EQ(raw32[16], 0x11);
  TextureD3D_Free(t);
  t = TextureD3D_CreateFromImage(raw16, sizeof raw16, nullptr, 0, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->kept[0], 0x44332211u);  // 0x1234 becomes 0x4321, then 8 bits a channel
  TextureD3D_Free(t);
  const uint8_t shortRaw[] = {'R', 'A', 'W', ' ', 9, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(TextureD3D_CreateFromImage(shortRaw, sizeof shortRaw, nullptr, 0, 0), nullptr);
}

TEST_F(TextureTest, UpdateRectSendsOnlyTheClippedRectangle) {
  TextureD3D* t = TextureD3D_Create(16, 16, 1, 0, kTexFormatA8R8G8B8);
  t->kept[17] = 0xFFABCDEF;
  device.ClearLog();
  EXPECT_TRUE(TextureD3D_UpdateRect(t, -3, -3, 5, 5));
  EXPECT_EQ((*device.TexturePixels(t->texture))[17], 0xFFABCDEFu);
  EXPECT_EQ((*device.TexturePixels(t->texture))[2 * 16 + 2], 0u);
  EXPECT_TRUE(TextureD3D_UpdateRect(t, 20, 0, 5, 5));
  EXPECT_EQ(device.CountOf(gfx::RecordingDevice::Op::UpdateTexture), 1u);
  TextureD3D_Free(t);
}

TEST_F(TextureTest, ReadBackClipsToTheTextureForBothKinds) {
  // 64 x 64 textures whose pixel (x, y) is 0xFF000000 | y << 8 | x.
  std::vector<uint32_t> px(64 * 64);
  for (uint32_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | (i / 64) << 8 | (i % 64);
  TextureD3D* managed = TextureD3D_CreateFromPixels(px.data(), 64, 64, nullptr);
  TextureD3D* target = TextureD3D_Create(64, 64, 1, kTextureFlagRenderTarget, kTexFormatA8R8G8B8);
  ASSERT_NE(managed, nullptr);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(device.UpdateTexture(target->texture, 0, 0, 64, 64, px.data(), 64));
  for (TextureD3D* t : {managed, target}) {
    SCOPED_TRACE(t == managed ? "managed" : "render target");
    std::vector<uint32_t> out;
    ASSERT_TRUE(Graphics_ReadTexturePixels(t, 60, 60, 10, 10, &out));
    ASSERT_EQ(out.size(), 100u);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        EXPECT_EQ(out[size_t(y * 10 + x)], x < 4 && y < 4 ? 0xFF000000u | uint32_t(60 + y) << 8 | uint32_t(60 + x) : 0u)
            << x << "," << y;
    // Negative corners start at 0; nothing inside, or an empty rectangle, is none.
    ASSERT_TRUE(Graphics_GetTexturePixels(t, -5, -5, 2, 1, &out));
    EXPECT_EQ(out, (std::vector<uint32_t>{0xFF000000u, 0xFF000001u}));
    EXPECT_FALSE(Graphics_ReadTexturePixels(t, 64, 0, 4, 4, &out));
    EXPECT_FALSE(Graphics_ReadTexturePixels(t, 0, 0, 0, 4, &out));
  }
  Graphics_SetDevice(nullptr);
  std::vector<uint32_t> out;
  EXPECT_FALSE(Graphics_ReadTexturePixels(managed, 0, 0, 1, 1, &out));
  Graphics_SetDevice(&device);
  TextureD3D_Free(managed);
  TextureD3D_Free(target);
}

TEST_F(TextureTest, EmbeddedImagesLoadByNumber) {
  const uint8_t raw[] = {'R', 'A', 'W', ' ', 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x22, 0x33, 0x44};
  std::vector<uint8_t> png;
  const uint8_t rgba[] = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255};
  ASSERT_TRUE(PNG_Encode(rgba, 3, 1, &png));
  // A 64 x 64 DXT5 image of one colour, as the particle shapes are.
  std::vector<uint8_t> blocks;
  for (int i = 0; i < 256; ++i) blocks.insert(blocks.end(), {255, 255, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0, 0, 0, 0, 0, 0});
  const std::vector<uint8_t> dds = image_fixtures::Dds(64, 64, "DXT5", blocks);
  const std::vector<uint8_t> table = Texture_BuildEmbeddedTable({std::vector<uint8_t>(raw, raw + sizeof raw), png, dds});

  Texture_SetEmbeddedTable(nullptr, 0);
  EXPECT_EQ(Texture_LoadEmbedded(0), nullptr) << "no table";
  Texture_SetEmbeddedTable(table.data(), table.size());
  EXPECT_EQ(Texture_EmbeddedCount(), 3);
  const size_t live = TextureD3D_LiveCount();
  TextureD3D* a = Texture_LoadEmbedded(0);
  TextureD3D* b = Texture_LoadEmbedded(1);
  TextureD3D* c = Texture_LoadEmbedded(2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(a->kept[0], 0x44112233u);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->kept[2], 0xFF070809u);
  EXPECT_EQ(c->Width(), 64);
  EXPECT_EQ(c->Height(), 64);
  EXPECT_EQ(c->kept[64 * 63 + 63], 0xFFFF0000u);
  ASSERT_NE(c->texture, 0u);
  EXPECT_EQ((*device.TexturePixels(c->texture))[0], 0xFFFF0000u);
  EXPECT_EQ(Texture_LoadEmbedded(3), nullptr);
  EXPECT_EQ(Texture_LoadEmbedded(-1), nullptr);
  EXPECT_EQ(TextureD3D_LiveCount(), live + 3);
  for (TextureD3D* t : {a, b, c}) TextureD3D_Free(t);

  // A count beyond the records, and a record reaching past the table.
  std::vector<uint8_t> damaged = table;
  std::fill(damaged.begin(), damaged.begin() + 4, 0xFF);
  Texture_SetEmbeddedTable(damaged.data(), damaged.size());
  EXPECT_EQ(Texture_EmbeddedCount(), int((damaged.size() - 4) / 8));
  damaged = table;
  damaged[4 + 2 * 8] += 1;  // image 2 one byte longer than the table holds
  Texture_SetEmbeddedTable(damaged.data(), damaged.size());
  EXPECT_EQ(Texture_LoadEmbedded(2), nullptr);
  TextureD3D* again = Texture_LoadEmbedded(1);
  EXPECT_NE(again, nullptr);
  TextureD3D_Free(again);
  Texture_SetEmbeddedTable(nullptr, 0);
  EXPECT_EQ(TextureD3D_LiveCount(), live);
}

// ---- Sprites -------------------------------------------------------------------

class SpriteTest : public TextureTest {
 protected:
  // Loads the image chunks of a description into the tables.
  void Load(const std::string& text) { images_.Load(text); }
  ImageChunks images_;
};

const char kTwoPages[] =
    "SPRITE \"a\" width=9 height=2 xorigin=5 yorigin=5 frames=0,1,0 masks=FF80007F precise=1\n"
    "SPRITE none\n"
    "SPRITE \"b\" width=10 height=10 xorigin=5 yorigin=5 right=9 bottom=9 frames=2\n"
    "ENTRY x=0 y=0 width=9 height=2 page=0\n"
    "ENTRY x=0 y=2 width=9 height=2 page=0\n"
    "ENTRY x=0 y=0 width=10 height=10 page=1\n"
    "PAGE width=16 height=16 fill=0xFF0000FF\n"
    "PAGE width=16 height=16 fill=0x00FF00FF\n";

TEST_F(SpriteTest, SprtRecordsGiveFramesMasksRadiusAndEmptySlots) {
  Load(kTwoPages);
  ASSERT_EQ(Sprite_Count(), 3);
  EXPECT_FALSE(Sprite_Exists(1));
  EXPECT_STREQ(Sprite_GetName(1), "<undefined>");
  EXPECT_EQ(Sprite_Find("b"), 2);
  CSprite* a = Sprite_Get(0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->frameCount, 3);
  ASSERT_EQ(a->masks.size(), 1u);  // one mask shared by every frame
  // Row 0: FF 80 (pixels 0 to 8 solid); row 1: 00 7F (pixel 8 is bit 7 of
  // the second byte: clear).
  for (int f : {0, 1, 2, -1}) {
    EXPECT_TRUE(a->MaskSolid(f, 8, 0));
    EXPECT_FALSE(a->MaskSolid(f, 8, 1));
    EXPECT_FALSE(a->MaskSolid(f, 0, 1));
  }
  EXPECT_EQ(Sprite_Get(2)->radius, 8);  // 10 x 10 about (5, 5): ceil(sqrt 50)
  EXPECT_EQ(a->FrameEntry(-1), a->FrameEntry(2));
  EXPECT_EQ(a->FrameEntry(5), a->FrameEntry(2));
  ASSERT_NE(a->FrameEntry(1), nullptr);
  EXPECT_EQ(a->FrameEntry(1)->y, 2);
  EXPECT_EQ(a->FrameEntry(0)->texture, Texture_PageIds()[0]);
}

TEST_F(SpriteTest, DamagedRecordsAreRefused) {
  const char* bad[] = {
      "SPRITE \"s\" width=4 height=4 frames=-1 frame_count=100000\n",
      "SPRITE \"s\" width=4 height=4 frames=-1,-1,-1 masks=00,00\n",
      "SPRITE \"s\" width=0 height=4 frames=-1 masks=00\n",
      "SPRITE \"s\" width=4000 height=4000 frames=-1 mask_count=1\n",
  };
  for (const char* text : bad) EXPECT_THROW(Load(text), DataError) << text;
}

TEST_F(SpriteTest, AnEntryNamingAMissingPageIsLeftUnbound) {
  Load("ENTRY width=4 height=4 page=5\nPAGE width=4 height=4 fill=0xFFFFFFFF\n"
       "SPRITE \"s\" width=4 height=4 frames=0\n");
  EXPECT_EQ(TPage_Get(0)->texture, -1);
  Sprite_Get(0)->Draw(0, 10, 10);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u);
}

TEST_F(SpriteTest, InstancesTakeTheirBoxFromTheSprite) {
  Load(kTwoPages);
  CObjInstance i(100, 50, 100001, -1, false);
  i.SetSpriteIndex(2);
  i.ComputeBoundingBox();
  EXPECT_EQ(i.bbox_left, 95);
  EXPECT_EQ(i.bbox_top, 45);
  EXPECT_EQ(i.bbox_right, 104);
  EXPECT_EQ(i.bbox_bottom, 54);
  EXPECT_EQ(i.GetImageNumber(), 1);
}

TEST_F(SpriteTest, DrawExtCullsBeyondTheScaledRadius) {
  Load(kTwoPages);
  CSprite* b = Sprite_Get(2);  // radius 8
  Graphics_SetViewRect(100, 100, 200, 200);
  struct Case {
    float x, xs;
    bool drawn;
  } cases[] = {{92, 1, true}, {91, 1, false}, {85, -2, true}, {83, -2, false}, {208, 1, true}, {209, 1, false}};
  for (const Case& c : cases) {
    device.ClearLog();
    b->DrawExt(0, c.x, 150, c.xs, 1, 0, 0xFFFFFF, 1);
    VertexBatch_Flush();
    EXPECT_EQ(device.DrawCallCount() > 0, c.drawn) << c.x << " scale " << c.xs;
  }
  device.ClearLog();
  b->Draw(0, 91, 150);
  b->Draw(0, 92, 150);
  VertexBatch_Flush();
  ASSERT_EQ(device.DrawCallCount(), 1u);
  EXPECT_EQ(device.Draws()[0].primitiveCount, 2);
}

TEST_F(SpriteTest, FramesWrapAndStretchedWithZeroWidthDrawsNothing) {
  Load(kTwoPages);
  CSprite* a = Sprite_Get(0);
  a->Draw(4, 50, 50);  // frame 1: the second entry, v from 2/16
  auto v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].v, 2 / 16.f);
  device.ClearLog();
  a->DrawStretched(0, 0, 0, 0, 10, 0xFFFFFF, 1);
  VertexBatch_Flush();
  EXPECT_EQ(device.DrawCallCount(), 0u);
}

TEST_F(SpriteTest, DuplicatesTakeTheirFramesFromThePagesAndKeepTheirMasks) {
  Load(kTwoPages);
  const int copy = Sprite_Duplicate(0);
  EXPECT_EQ(copy, 3);
  EXPECT_STREQ(Sprite_GetName(copy), "__newsprite3");
  EXPECT_NE(Sprite_Get(copy)->FrameEntry(1), Sprite_Get(0)->FrameEntry(1));
  EXPECT_EQ(Sprite_Get(copy)->bitmaps.size(), 3u);
  EXPECT_EQ(Sprite_Get(copy)->masks.size(), 1u);
  EXPECT_TRUE(Sprite_Delete(copy));
  EXPECT_EQ(Sprite_Duplicate(copy), -1);
  EXPECT_EQ(Sprite_CreateNew(), 4);
  EXPECT_FALSE(Sprite_Assign(Sprite_Count(), 0));
}

}  // namespace
