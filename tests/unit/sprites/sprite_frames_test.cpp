// Sprites made at run time over the recording device: the box and radius
// from frame pixels, masks of every kind, textures and page entries of their
// own, copying, and frames read back from the texture pages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "graphics/viewport.h"
#include "graphics/textures.h"
#include "pack.h"
#include "core/precise.h"
#include "sprites/sprites.h"
#include "unit/graphics/graphics_fixture.h"

namespace {

using Pixels = std::vector<uint32_t>;

// A w x h frame, transparent except for the listed opaque pixels.
CBitmap32 Frame(int w, int h, std::initializer_list<std::pair<int, int>> solid, uint32_t colour = 0xFF102030u) {
  Pixels px(size_t(w) * size_t(h), 0x00FFFFFFu);
  for (auto [x, y] : solid) px[size_t(y) * size_t(w) + size_t(x)] = colour;
  return CBitmap32::FromPixels(w, h, std::move(px));
}

CBitmap32 RandomAlpha(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  Pixels px(size_t(w) * size_t(h));
  for (uint32_t& p : px) p = uint32_t(rng() % 256) << 24 | 0x00336699u;
  return CBitmap32::FromPixels(w, h, std::move(px));
}

class SpriteFramesTest : public TexturedGraphicsTest {
 protected:
  void SetUp() override {
    TexturedGraphicsTest::SetUp();
    Graphics_SetViewRect(0, 0, 640, 480);
  }

  // A sprite in the table made from these frames.
  CSprite* Made(std::vector<CBitmap32> frames, int* index = nullptr) {
    const int i = Sprite_CreateNew();
    if (index) *index = i;
    CSprite* s = Sprite_Get(i);
    EXPECT_TRUE(s->SetFrameBitmaps(std::move(frames)));
    return s;
  }

  void Load(const std::string& text) { images_.Load(text); }

  static std::vector<uint8_t> Cells(const CSprite& s, int frame) {
    std::vector<uint8_t> c(size_t(s.width) * size_t(s.height));
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) c[size_t(y) * size_t(s.width) + size_t(x)] = s.MaskSolid(frame, x, y);
    return c;
  }

  ImageChunks images_;
};

struct Box {
  int left, top, right, bottom;
};
Box BoxOf(const CSprite& s) { return {s.bboxLeft, s.bboxTop, s.bboxRight, s.bboxBottom}; }
bool operator==(const Box& a, const Box& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& o, const Box& b) {
  return o << "(" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << ")";
}

// ---- Box and radius ---------------------------------------------------------------

TEST_F(SpriteFramesTest, TheAutomaticBoxIsTheUnionOfEveryFramesPixels) {
  CSprite* s = Made({Frame(10, 8, {{3, 2}}), Frame(10, 8, {{7, 4}, {5, 1}}), Frame(10, 8, {}), Frame(10, 8, {{4, 6}})});
  EXPECT_EQ(BoxOf(*s), (Box{3, 1, 7, 6}));

  s->SetBoundingBoxMode(1);
  EXPECT_EQ(BoxOf(*s), (Box{0, 0, 9, 7}));
  s->SetBoundingBoxMode(0);
  EXPECT_EQ(BoxOf(*s), (Box{3, 1, 7, 6}));

  // An opaque sprite takes the full frame whatever its mode.
  s->transparent = false;
  s->ComputeBoundingBox();
  EXPECT_EQ(BoxOf(*s), (Box{0, 0, 9, 7}));

  // Every frame clear: the starting values, left right of right.
  CSprite* empty = Made({Frame(6, 5, {}), Frame(6, 5, {})});
  EXPECT_EQ(BoxOf(*empty), (Box{5, 4, 0, 0}));
}

TEST_F(SpriteFramesTest, AManualBoxIsKeptAndOnlySetInManualMode) {
  CSprite* s = Made({Frame(10, 8, {{3, 2}})});
  s->SetBoundingBox(1, 1, 2, 2);  // mode 0: nothing
  EXPECT_EQ(BoxOf(*s), (Box{3, 2, 3, 2}));
  s->SetBoundingBoxMode(2);
  EXPECT_EQ(BoxOf(*s), (Box{3, 2, 3, 2}));
  s->SetBoundingBox(-4, 1, 20, 5);
  s->ComputeBoundingBox();
  EXPECT_EQ(BoxOf(*s), (Box{-4, 1, 20, 5}));
  for (int bad : {-1, 3, 100}) {
    s->SetBoundingBoxMode(bad);
    EXPECT_EQ(s->bboxMode, 2) << bad;
  }
  // No frames at all: an empty box.
  CSprite* none = Sprite_Get(Sprite_CreateNew());
  none->bboxLeft = 4;
  none->SetBoundingBoxMode(1);
  none->SetBoundingBoxMode(0);
  EXPECT_EQ(BoxOf(*none), (Box{0, 0, 0, 0}));
}

TEST_F(SpriteFramesTest, TheRadiusReachesTheFarthestCornerRoundedUp) {
  struct Case {
    int w, h, xo, yo, radius;
  } cases[] = {{10, 10, 5, 5, 8}, {10, 10, 0, 0, 15}, {3, 4, 0, 0, 5}, {3, 4, 3, 4, 5}, {1, 1, -30, -40, 52},
               {16, 1, 8, 0, 9}};
  for (const Case& c : cases) {
    CSprite* s = Made({Frame(c.w, c.h, {})});
    s->xOrigin = c.xo;
    s->yOrigin = c.yo;
    s->ComputeBoundingBox();
    EXPECT_EQ(s->radius, c.radius) << c.w << "x" << c.h << " about " << c.xo << "," << c.yo;
  }
}

// ---- Masks ------------------------------------------------------------------------

// The cell rule written out on its own, cell by cell.
bool Expected(int kind, int tolerance, const CBitmap32& b, const Box& box, int x, int y) {
  if (kind == 0) return int(b.At(x, y) >> 24) > tolerance;
  if (kind < 1 || kind > 3) return false;
  if (x < box.left || x > box.right || y < box.top || y > box.bottom) return false;
  if (kind == 1) return true;
  const long long cx = (static_cast<long long>(box.left) + box.right) / 2;
  const long long cy = (static_cast<long long>(box.top) + box.bottom) / 2;
  const float rx = float(cx - box.left) + 0.5f, ry = float(cy - box.top) + 0.5f;
  if (!(rx > 0 && ry > 0)) return false;
  const float dx = float(x - cx) / rx, dy = float(y - cy) / ry;
  return kind == 2 ? dx * dx + dy * dy < 1.0f : std::fabs(dx) + std::fabs(dy) < 1.0f;
}

TEST_F(SpriteFramesTest, FillMaskMatchesTheCellRuleForEveryKindBoxAndTolerance) {
  const CBitmap32 bitmap = RandomAlpha(13, 11, 7);
  CSprite* s = Made({bitmap});
  s->SetBoundingBoxMode(2);
  const Box boxes[] = {{0, 0, 12, 10}, {2, 3, 9, 8},   {4, 4, 4, 4},     {-5, -3, 6, 20},
                       {3, 1, 4, 9},   {8, 2, 3, 9},   {-9, -9, -2, -2}, {-2147483647, 0, 2147483647, 10}};
  for (const Box& box : boxes) {
    s->SetBoundingBox(box.left, box.top, box.right, box.bottom);
    for (int kind : {0, 1, 2, 3, 4, -1}) {
      for (int tolerance : {-1, 0, 100, 254, 255}) {
        std::vector<uint8_t> mask;
        s->FillMask(nullptr, mask, &bitmap, kind, tolerance);
        ASSERT_EQ(mask.size(), 13u * 11u);
        for (int y = 0; y < 11; ++y)
          for (int x = 0; x < 13; ++x)
            ASSERT_EQ(mask[size_t(y) * 13 + size_t(x)] != 0, Expected(kind, tolerance, bitmap, box, x, y))
                << "kind " << kind << " tolerance " << tolerance << " box " << box << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(SpriteFramesTest, FillMaskShapesOnATenByTenBoxAndThePreviousMask) {
  CSprite* s = Made({Frame(10, 10, {})});
  s->SetBoundingBoxMode(1);
  std::vector<uint8_t> ellipse, diamond, merged;
  s->FillMask(nullptr, ellipse, nullptr, 2, 0);
  EXPECT_FALSE(ellipse[4 * 10 + 9]);  // dx = 5 / 4.5
  EXPECT_TRUE(ellipse[4 * 10 + 8]);
  EXPECT_TRUE(ellipse[0 * 10 + 4]);   // dy = -4 / 4.5
  EXPECT_FALSE(ellipse[0 * 10 + 0]);
  s->FillMask(nullptr, diamond, nullptr, 3, 0);
  EXPECT_TRUE(diamond[4 * 10 + 8]);
  EXPECT_FALSE(diamond[1 * 10 + 1]);
  // Kind 0 without a bitmap is empty; the previous mask shows through it
  // and through an unknown kind.
  s->FillMask(&ellipse, merged, nullptr, 0, 0);
  EXPECT_EQ(merged, ellipse);
  s->FillMask(&diamond, merged, nullptr, 9, 0);
  EXPECT_EQ(merged, diamond);
}

TEST_F(SpriteFramesTest, CreateMaskExtSetsTheBoxByModeAndSharesFrameZero) {
  int index = 0;
  CSprite* s = Made({Frame(8, 6, {{1, 1}}), Frame(8, 6, {{6, 4}}), Frame(8, 6, {{3, 3}})}, &index);
  s->SetBoundingBoxMode(2);
  s->SetBoundingBox(2, 2, 5, 4);
  struct Case {
    int mode;
    Box box;
  } cases[] = {{0, {0, 0, 7, 5}}, {1, {0, 0, 7, 5}}, {2, {1, 0, 3, 2}}, {3, {1, 0, 3, 2}}, {-1, {1, 0, 3, 2}}};
  for (const Case& c : cases) {
    s->CreateMaskExt(true, c.mode, 1, 0, 3, 2, 1, 0);
    EXPECT_EQ(BoxOf(*s), c.box) << c.mode;
    EXPECT_EQ(s->bboxMode, 2) << "the mode field stays";
    ASSERT_EQ(s->masks.size(), 3u);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(s->MaskSolid(1, x, y), x >= c.box.left && x <= c.box.right && y >= c.box.top && y <= c.box.bottom)
            << "mode " << c.mode << " at " << x << "," << y;
  }

  // Alpha masks, separate: each frame its own pixel.
  s->CreateMaskExt(true, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(s->MaskSolid(0, 1, 1));
  EXPECT_FALSE(s->MaskSolid(1, 1, 1));
  EXPECT_TRUE(s->MaskSolid(1, 6, 4));
  // Shared: every later frame also holds frame 0's pixels, frame 0 only its
  // own; still one mask per frame.
  s->CreateMaskExt(false, 1, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(s->masks.size(), 3u);
  EXPECT_FALSE(s->MaskSolid(0, 6, 4));
  EXPECT_TRUE(s->MaskSolid(1, 1, 1));
  EXPECT_TRUE(s->MaskSolid(1, 6, 4));
  EXPECT_TRUE(s->MaskSolid(2, 1, 1));
  EXPECT_FALSE(s->MaskSolid(2, 6, 4));

  // The precise tests read the same masks through the table's look-up.
  MaskView view;
  ASSERT_TRUE(Precise_LookUpMask(index, &view));
  EXPECT_TRUE(view.hasMasks);
  EXPECT_EQ(view.masks, &s->masks);
  MaskPlacement at;
  at.frame = 2, at.left = 0, at.top = 0, at.right = 7, at.bottom = 5;
  EXPECT_TRUE(Precise_Point(view, at, 1, 1));
  EXPECT_FALSE(Precise_Point(view, at, 6, 4));
}

TEST_F(SpriteFramesTest, TogglingPreciseRebuildsTheMasks) {
  CSprite* s = Made({Frame(5, 4, {{0, 0}}), Frame(5, 4, {{4, 3}})});
  ASSERT_TRUE(s->hasMasks);
  ASSERT_EQ(s->masks.size(), 2u);
  EXPECT_EQ(Cells(*s, 1), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  s->SetPrecise(false);
  EXPECT_FALSE(s->hasMasks);
  EXPECT_TRUE(s->masks.empty());
  s->SetPrecise(true);
  ASSERT_EQ(s->masks.size(), 2u);
  EXPECT_TRUE(s->MaskSolid(0, 0, 0));
  EXPECT_FALSE(s->MaskSolid(0, 4, 3));
  // A shape mask is replaced by the default ones on the next change.
  s->CreateMaskExt(true, 1, 0, 0, 0, 0, 1, 0);
  EXPECT_TRUE(s->MaskSolid(0, 4, 3));
  s->SetPrecise(false);
  s->SetPrecise(true);
  EXPECT_FALSE(s->MaskSolid(0, 4, 3));
  // Opaque sprites get no masks.
  s->transparent = false;
  s->CreateMask();
  EXPECT_FALSE(s->hasMasks);
}

const char kPages[] =
    "SPRITE \"a\" width=4 height=3 xorigin=1 yorigin=1 frames=0,1 masks=A040E0 precise=1\n"
    "ENTRY x=1 y=0 width=3 height=2 xoffset=1 yoffset=1 original_width=4 original_height=3 page=0\n"
    "ENTRY x=0 y=2 width=4 height=1 page=0\n"
    "PAGE width=4 height=4 rgba=11111111222222223333333344444444"
    "55555555666666667777777788888888"
    "99999999AAAAAAAABBBBBBBBCCCCCCCC"
    "DDDDDDDDEEEEEEEEFFFFFFFF12345678\n";

TEST_F(SpriteFramesTest, DataFileMasksComeBackWhenTheSpriteIsPreciseAgain) {
  Load(kPages);
  CSprite* a = Sprite_Get(0);
  ASSERT_EQ(a->masks.size(), 1u);
  const std::vector<uint8_t> before = Cells(*a, 0);
  a->CreateMask();  // still precise: the file's masks stay
  EXPECT_EQ(Cells(*a, 0), before);
  a->SetPrecise(false);
  EXPECT_FALSE(a->hasMasks);
  a->SetPrecise(true);
  ASSERT_TRUE(a->hasMasks);
  EXPECT_EQ(Cells(*a, 0), before);
  // Shapes need no pixels, so data-file frames get them; alpha masks they
  // cannot have.
  a->CreateMaskExt(true, 2, 0, 0, 1, 1, 1, 0);
  ASSERT_EQ(a->masks.size(), 2u);
  EXPECT_TRUE(a->MaskSolid(1, 1, 1));
  EXPECT_FALSE(a->MaskSolid(1, 2, 2));
  a->CreateMaskExt(true, 2, 0, 0, 1, 1, 0, 0);
  EXPECT_FALSE(a->hasMasks);
}

// ---- Textures, entries and copies ---------------------------------------------------------------

TEST_F(SpriteFramesTest, FramesGetTexturesAndEntriesOfTheirOwn) {
  CSprite* s = Made({Frame(4, 2, {{0, 0}}), Frame(4, 2, {{1, 1}}), Frame(4, 2, {{3, 1}})});
  ASSERT_EQ(s->textures.size(), 3u);
  EXPECT_TRUE(s->HasOwnEntries());
  EXPECT_FALSE(s->HasSharedEntries());
  for (int f = 0; f < 3; ++f) {
    ASSERT_TRUE(Texture_Exists(s->textures[size_t(f)]));
    TexturePageEntry* e = s->FrameEntry(f);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->texture, s->textures[size_t(f)]);
    EXPECT_EQ(e->width, 4);
    EXPECT_EQ(e->originalHeight, 2);
    EXPECT_EQ(s->GetTexture(f).texture, s->textures[size_t(f)]);
    EXPECT_EQ(s->GetTexture(f).entry, nullptr);
  }
  EXPECT_EQ(s->GetTexture(-1).texture, s->textures[2]);
  EXPECT_EQ(s->GetTexture(4).texture, s->textures[1]);
  // The texture holds the frame's pixels.
  const std::vector<uint32_t>* px = device.TexturePixels(Texture_GetD3D(s->textures[2])->texture);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ((*px)[0], 0x00FFFFFFu);
  EXPECT_EQ((*px)[4 + 3], 0xFF102030u);

  const size_t live = TextureD3D_LiveCount();
  s->FreeTextures();
  EXPECT_EQ(TextureD3D_LiveCount(), live - 3);
  EXPECT_EQ(s->textures, (std::vector<int32_t>{-1, -1, -1}));
  EXPECT_EQ(s->FrameEntry(0)->texture, -1);
  s->InitTexture();
  EXPECT_EQ(s->FrameEntry(0)->texture, s->textures[0]);
  EXPECT_TRUE(Texture_Exists(s->textures[0]));

  CSprite* none = Sprite_Get(Sprite_CreateNew());
  EXPECT_EQ(none->GetTexture(0).texture, -1);
}

TEST_F(SpriteFramesTest, ACopyOfARunTimeSpriteHasItsOwnBitmapsTexturesAndMasks) {
  int source = 0;
  CSprite* s = Made({Frame(6, 4, {{1, 1}, {2, 1}}), Frame(6, 4, {{5, 3}})}, &source);
  s->xOrigin = 3;
  s->CreateMaskExt(true, 1, 0, 0, 0, 0, 1, 0);  // box masks: not what a copy gets
  const int copy = Sprite_Duplicate(source);
  ASSERT_GE(copy, 0);
  s = Sprite_Get(source);
  CSprite* c = Sprite_Get(copy);
  EXPECT_EQ(c->frameCount, 2);
  EXPECT_EQ(c->xOrigin, 3);
  EXPECT_EQ(BoxOf(*c), BoxOf(*s));
  ASSERT_EQ(c->bitmaps.size(), 2u);
  EXPECT_NE(c->bitmaps[0].GetData(nullptr), s->bitmaps[0].GetData(nullptr));
  EXPECT_EQ(c->bitmaps[1].At(5, 3), s->bitmaps[1].At(5, 3));
  // Masks are made from the copied pixels.
  ASSERT_EQ(c->masks.size(), 2u);
  EXPECT_TRUE(c->MaskSolid(0, 2, 1));
  EXPECT_FALSE(c->MaskSolid(0, 0, 0));
  EXPECT_TRUE(s->MaskSolid(0, 0, 0));
  // Textures and entries of its own, which outlive the source.
  ASSERT_EQ(c->textures.size(), 2u);
  EXPECT_NE(c->textures[0], s->textures[0]);
  EXPECT_NE(c->FrameEntry(0), s->FrameEntry(0));
  EXPECT_EQ(c->FrameEntry(1)->texture, c->textures[1]);
  const gfx::TextureHandle own = Texture_GetD3D(c->textures[1])->texture;
  ASSERT_TRUE(Sprite_Delete(source));
  c->Draw(1, 50, 50);
  VertexBatch_Flush();
  ASSERT_EQ(device.Draws().size(), 1u);
  EXPECT_EQ(device.Draws()[0].texture, own);

  // Assigning a sprite to itself changes nothing.
  ASSERT_TRUE(Sprite_Assign(copy, copy));
  c->Copy(*c);
  EXPECT_EQ(c->bitmaps.size(), 2u);
}

TEST_F(SpriteFramesTest, FrameRectsComeFromEntriesElseFromThePixels) {
  Load(kPages);
  CSprite* a = Sprite_Get(0);
  EXPECT_EQ(a->GetFrameRect(0), (SpriteRect{1, 1, 4, 3}));
  EXPECT_EQ(a->GetFrameRect(1), (SpriteRect{0, 0, 4, 1}));
  for (int out : {-1, 2, 100}) EXPECT_EQ(a->GetFrameRect(out), SpriteRect{}) << out;
  EXPECT_EQ(a->GetFrameBitmap(0), nullptr);

  // Bitmaps without entries: the inclusive bounds of their pixels.
  CSprite* b = Sprite_Get(Sprite_CreateNew());
  b->width = 6, b->height = 5;
  b->bitmaps = {Frame(6, 5, {{2, 1}, {4, 3}}), Frame(6, 5, {})};
  b->frameCount = 2;
  EXPECT_EQ(b->GetFrameRect(0), (SpriteRect{2, 1, 4, 3}));
  EXPECT_EQ(b->GetFrameRect(1), (SpriteRect{5, 4, 0, 0}));
  EXPECT_EQ(b->GetFrameRect(2), SpriteRect{});

  std::unique_ptr<TBitmap> copy = b->GetFrameBitmap(0);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetWidth(), 6);
  const uint8_t* p = copy->PixelStart() + 1 * copy->Stride() + 2 * 4;
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{0x10, 0x20, 0x30, 0xFF}));
  EXPECT_EQ(b->GetFrameBitmap(-1), nullptr);
  EXPECT_EQ(b->GetFrameBitmap(2), nullptr);
}

// Page pixel (x, y) of kPages as the device holds it.
uint32_t PagePixel(const std::vector<uint32_t>& page, int x, int y) { return page[size_t(y) * 4 + size_t(x)]; }

TEST_F(SpriteFramesTest, ABoxOverADamagedSizeStaysInRange) {
  // A data file may give any 32-bit size; the whole-sprite box of a size
  // with no predecessor keeps the size rather than stepping below it.
  CSprite s;
  s.width = INT32_MIN;
  s.height = 4;
  s.CreateMaskExt(true, 1, 0, 0, 0, 0, 1, 0);
  EXPECT_EQ(BoxOf(s), (Box{0, 0, INT32_MIN, 3}));
  EXPECT_FALSE(s.hasMasks);
  s.bboxMode = 1;
  s.transparent = true;
  s.height = INT32_MIN;
  s.ComputeBoundingBox();
  EXPECT_EQ(BoxOf(s), (Box{0, 0, INT32_MIN, INT32_MIN}));
}

TEST_F(SpriteFramesTest, FramesAreReadBackFromThePagesAtTheirOffsets) {
  Load(kPages);
  CSprite* a = Sprite_Get(0);
  // A copy: the device's own store moves as textures are made.
  ASSERT_NE(device.TexturePixels(Texture_GetD3D(Texture_PageIds()[0])->texture), nullptr);
  const std::vector<uint32_t> pagePixels = *device.TexturePixels(Texture_GetD3D(Texture_PageIds()[0])->texture);
  const std::vector<uint32_t>* page = &pagePixels;
  EXPECT_EQ(PagePixel(*page, 0, 0), 0x11111111u);

  // Duplicating makes the frames the copy's own and keeps the file's masks.
  const std::vector<uint8_t> masks = Cells(*a, 0);
  const int copy = Sprite_Duplicate(0);
  CSprite* c = Sprite_Get(copy);
  EXPECT_FALSE(c->HasSharedEntries());
  EXPECT_TRUE(c->HasOwnEntries());
  ASSERT_EQ(c->bitmaps.size(), 2u);
  EXPECT_EQ(c->bitmaps[0].At(3, 2), PagePixel(*page, 3, 1));
  EXPECT_EQ(Cells(*c, 0), masks);
  ASSERT_EQ(c->textures.size(), 2u);
  EXPECT_TRUE(Texture_Exists(c->textures[0]));
  EXPECT_EQ(c->GetTexture(0).entry, nullptr);
  EXPECT_EQ(c->GetFrameRect(0), (SpriteRect{0, 0, 4, 3}));
  // The original still shares the data file's entries.
  EXPECT_TRUE(Sprite_Get(0)->HasSharedEntries());
  EXPECT_NE(Sprite_Get(0)->GetTexture(1).entry, nullptr);
  EXPECT_EQ(Sprite_Get(0)->GetTexture(1).entry, Sprite_Get(0)->FrameEntry(1));

  // The original read back in place.
  ASSERT_TRUE(a->CopyFramesFromPages());
  ASSERT_EQ(a->bitmaps.size(), 2u);
  const CBitmap32& f0 = a->bitmaps[0];
  ASSERT_EQ(f0.GetWidth(), 4);
  ASSERT_EQ(f0.GetHeight(), 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && y >= 1;  // the 3 x 2 rectangle at (1, 1)
      EXPECT_EQ(f0.At(x, y), inside ? PagePixel(*page, x, y - 1) : 0u) << x << "," << y;
    }
  }
  for (int x = 0; x < 4; ++x) EXPECT_EQ(a->bitmaps[1].At(x, 0), PagePixel(*page, x, 2));
}

TEST_F(SpriteFramesTest, UnreadableOrOddPagesAreRefusedOrClipped) {
  // Frame 1 lies on a page that does not exist; frame 0 on the real one.
  Load("SPRITE \"a\" width=2 height=2 frames=0,1\n"
       "ENTRY x=0 y=0 width=2 height=2 page=0\n"
       "ENTRY x=0 y=0 width=2 height=2 page=3\n"
       "PAGE width=2 height=2 fill=0xFF0000FF\n");
  CSprite* a = Sprite_Get(0);
  EXPECT_FALSE(a->CopyFramesFromPages());
  EXPECT_TRUE(a->bitmaps.empty());
  const int copy = Sprite_Duplicate(0);
  EXPECT_TRUE(Sprite_Get(copy)->HasSharedEntries());
  EXPECT_EQ(Sprite_Get(copy)->FrameEntry(0), a->FrameEntry(0));

  // An entry placed past its own frame and reaching past its page: only
  // what lies inside both is copied.
  Load("SPRITE \"b\" width=3 height=3 frames=0\n"
       "ENTRY x=1 y=1 width=3 height=3 xoffset=2 yoffset=1 original_width=3 original_height=3 page=0\n"
       "PAGE width=2 height=2 fill=0xFF0000FF\n");
  CSprite* b = Sprite_Get(0);
  ASSERT_TRUE(b->CopyFramesFromPages());
  const CBitmap32& f = b->bitmaps[0];
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(f.At(x, y) != 0, x == 2 && y == 1) << x << "," << y;

  // No device: nothing can be read.
  Graphics_SetDevice(nullptr);
  EXPECT_FALSE(b->CopyFramesFromPages());
  Graphics_SetDevice(&device);
}

TEST_F(SpriteFramesTest, ASpriteFromOneImage) {
  std::unique_ptr<TBitmap> image = Frame(7, 5, {{2, 3}, {5, 1}}).ToTBitmap();
  CSprite* s = Sprite_Get(Sprite_CreateNew());
  ASSERT_TRUE(s->CreateFromBitmap(*image, true, true, false, true, 3, 2, true));
  EXPECT_EQ(s->frameCount, 1);
  EXPECT_EQ(s->width, 7);
  EXPECT_EQ(s->xOrigin, 3);
  EXPECT_EQ(BoxOf(*s), (Box{2, 1, 5, 3}));
  EXPECT_EQ(s->radius, 5);
  ASSERT_TRUE(s->hasMasks);
  EXPECT_TRUE(s->MaskSolid(0, 5, 1));
  EXPECT_FALSE(s->MaskSolid(0, 4, 1));
  ASSERT_EQ(s->textures.size(), 1u);
  EXPECT_TRUE(Texture_Exists(s->textures[0]));

  TBitmap empty;
  EXPECT_FALSE(s->CreateFromBitmap(empty, true, true, false, true, 0, 0, true));
  EXPECT_EQ(s->frameCount, 0);
  EXPECT_TRUE(s->bitmaps.empty());
  EXPECT_FALSE(s->SetFrameBitmaps({Frame(2, 2, {}), CBitmap32()}));
  EXPECT_EQ(s->frameCount, 0);
  // Frames of other sizes take the first one's.
  ASSERT_TRUE(s->SetFrameBitmaps({Frame(2, 2, {}), Frame(4, 6, {{0, 0}})}));
  EXPECT_EQ(s->bitmaps[1].GetWidth(), 2);
  EXPECT_EQ(s->bitmaps[1].GetHeight(), 2);
}

}  // namespace
