// Sprites and backgrounds loaded from image files over the recording
// device: the strip cut into frames, plain copies against converted ones,
// files that cannot be read or decoded, and the built-ins that reach them.
#include "sprites/resource_group.h"
#include "unit/script/builtin_group_check.h"
#include "unit/sprites/image_files.h"

namespace {

using namespace imagefiles;

// ---- The strip cut ----------------------------------------------------------------------------

struct StripCase {
  int imageWidth, frames;
  int wantFrames, wantWidth;
};

class StripCut : public ImageLoading, public testing::WithParamInterface<StripCase> {};

TEST_P(StripCut, FramesShareTheWidthAndTakeTheirOwnColumns) {
  const StripCase c = GetParam();
  const int height = 4;
  Write("strip.png", MarkedPng(c.imageWidth, height));
  const int index = Sprite_Add("strip.png", c.frames, false, false, false, false, 0, 0);
  ASSERT_GE(index, 0);
  const CSprite* s = Sprite_Get(index);
  ASSERT_EQ(s->frameCount, c.wantFrames);
  EXPECT_EQ(s->width, c.wantWidth);
  EXPECT_EQ(s->height, height);
  ASSERT_EQ(s->bitmaps.size(), size_t(c.wantFrames));
  for (int f = 0; f < c.wantFrames; ++f) {
    const CBitmap32& b = s->bitmaps[size_t(f)];
    ASSERT_EQ(b.GetWidth(), c.wantWidth);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < c.wantWidth; ++x)
        ASSERT_EQ(b.At(x, y), Marked(f * c.wantWidth + x, y)) << "frame " << f << " at " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, StripCut,
                         testing::Values(StripCase{96, 3, 3, 32},
                                         // Below one frame: one frame of the whole image.
                                         StripCase{96, 0, 1, 96}, StripCase{96, -5, 1, 96},
                                         // 100 / 3: the last column is dropped.
                                         StripCase{100, 3, 3, 33},
                                         // More frames than columns: one column each.
                                         StripCase{5, 9, 5, 1}));

TEST_F(ImageLoading, TheStripTellsTheConsoleEachStep) {
  Write("strip.png", MarkedPng(100, 32));
  ASSERT_GE(Sprite_Add("strip.png", 3, false, false, false, false, 0, 0), 0);
  EXPECT_EQ(log_.text,
            "calling pLoader->Create\ncalling Clear()\nAbout to get widths and heights\nTBitmap has w=100, h=32\n");
}

TEST_F(ImageLoading, APlainCopyKeepsAlphaAndARemovedBackgroundKeysTheBottomLeftColour) {
  // Left column the key colour, the rest half-transparent blue.
  const uint32_t key = 0xFF00FF00u, blue = 0x800000FFu;
  Write("two.png", Png(2, 2, {key, blue, key, blue}));

  const CSprite* plain = Sprite_Get(Sprite_Add("two.png", 1, false, false, false, false, 0, 0));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->bitmaps[0].At(0, 1), key);
  EXPECT_EQ(plain->bitmaps[0].At(1, 1), blue);
  EXPECT_FALSE(plain->transparent);

  const CSprite* keyed = Sprite_Get(Sprite_Add("two.png", 1, false, true, false, false, 0, 0));
  ASSERT_NE(keyed, nullptr);
  EXPECT_EQ(keyed->bitmaps[0].At(0, 1) >> 24, 0u);
  // Converted pixels are opaque: the file's alpha is not taken.
  EXPECT_EQ(keyed->bitmaps[0].At(1, 1), 0xFF0000FFu);
  EXPECT_TRUE(keyed->transparent);
  EXPECT_EQ(keyed->bboxLeft, 1);
}

TEST_F(ImageLoading, ALoadedSpriteIsPreloadedWithItsOriginAndGetsTexturesAndMasksWhenPrecise) {
  Write("s.png", MarkedPng(8, 4));
  const CSprite* s = Sprite_Get(Sprite_Add("s.png", 2, true, true, true, false, 3, -2));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->xOrigin, 3);
  EXPECT_EQ(s->yOrigin, -2);
  EXPECT_TRUE(s->preload);
  EXPECT_TRUE(s->precise);
  EXPECT_TRUE(s->smooth);
  EXPECT_EQ(s->bboxMode, 0);
  EXPECT_TRUE(s->hasMasks);
  ASSERT_EQ(s->textures.size(), 2u);
  EXPECT_NE(s->textures[0], -1);
  EXPECT_NE(s->FrameEntry(1), nullptr);
}

TEST_F(ImageLoading, TheSaveAreaComesBeforeTheGamesDirectory) {
  Write("pick.png", MarkedPng(4, 4), "game");
  Write("pick.png", MarkedPng(6, 2), "save");
  const CSprite* s = Sprite_Get(Sprite_Add("pick.png", 1, false, false, false, false, 0, 0));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width, 6);
}

TEST_F(ImageLoading, JpegAndGifFilesAreToldByTheirBytes) {
  for (const char* name : {"jpeg_colour.jpg", "gif_trns.gif", "png_rgb.png"}) {
    std::ifstream in(fs::path(TW_FIXTURES_DIR) / "images" / name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty()) << name;
    Write("image.bin", bytes);
    EXPECT_GE(Sprite_Add("image.bin", 1, false, false, false, false, 0, 0), 0) << name;
    EXPECT_GE(Background_Add("image.bin", false, false, true), 0) << name;
  }
}

// ---- Files that cannot be loaded ---------------------------------------------------------------

TEST_F(ImageLoading, AMissingOrUndecodableFileAddsNothing) {
  Write("bad.png", {0x89, 'P', 'N', 'G', 1, 2, 3, 4});
  Write("text.png", {'h', 'e', 'l', 'l', 'o'});
  Write("empty.png", {});
  const int sprites = Sprite_Count(), backgrounds = Background_Count();
  for (const char* name : {"missing.png", "bad.png", "text.png", "empty.png", "", "../outside.png"}) {
    EXPECT_EQ(Sprite_Add(name, 1, false, true, false, false, 0, 0), -1) << name;
    EXPECT_EQ(Background_Add(name, true, false, true), -1) << name;
  }
  EXPECT_EQ(Sprite_Count(), sprites);
  EXPECT_EQ(Background_Count(), backgrounds);
}

TEST_F(ImageLoading, AFailedSpriteReplaceLeavesTheSpriteAsItWas) {
  Write("good.png", MarkedPng(6, 3));
  Write("bad.png", {0x89, 'P', 'N', 'G', 0, 0});
  const int index = FileSprite("good.png");
  CSprite* s = Sprite_Get(index);
  const int texture = s->textures[0];
  for (const char* name : {"bad.png", "missing.png"}) {
    EXPECT_FALSE(Sprite_Replace(index, name, 2, true, true, true, true, 1, 1)) << name;
    EXPECT_EQ(Sprite_Get(index), s);
    EXPECT_EQ(s->frameCount, 1);
    EXPECT_EQ(s->width, 6);
    EXPECT_EQ(s->textures[0], texture);
    EXPECT_EQ(s->bitmaps[0].At(5, 2), Marked(5, 2));
  }
  EXPECT_FALSE(Sprite_Replace(Sprite_Count(), "good.png", 1, true, true, true, true, 0, 0));
  EXPECT_FALSE(Sprite_Replace(-1, "good.png", 1, true, true, true, true, 0, 0));
}

TEST_F(ImageLoading, AFailedBackgroundReplaceKeepsItsTexture) {
  Write("good.png", MarkedPng(6, 3));
  Write("bad.png", {0x89, 'P', 'N', 'G', 0, 0});
  const int index = Background_Add("good.png", false, false, true);
  ASSERT_GE(index, 0);
  const CBackgroundImage* b = Background_Get(index);
  const int texture = b->OwnTexture();
  ASSERT_NE(texture, -1);
  EXPECT_FALSE(Background_Replace(index, "bad.png", true, true, true));
  EXPECT_EQ(b->OwnTexture(), texture);
  EXPECT_EQ(b->GetWidth(), 6);
  EXPECT_FALSE(b->GetTransparent());
}

TEST_F(ImageLoading, AReplaceLoadsIntoTheSlotAndKeepsItsName) {
  Write("a.png", MarkedPng(4, 4));
  Write("b.png", MarkedPng(12, 5));
  const int index = FileSprite("a.png");
  const std::string name = Sprite_GetName(index);
  EXPECT_TRUE(Sprite_Replace(index, "b.png", 3, true, false, false, true, 2, 1));
  const CSprite* s = Sprite_Get(index);
  EXPECT_EQ(s->frameCount, 3);
  EXPECT_EQ(s->width, 4);
  EXPECT_EQ(s->height, 5);
  EXPECT_EQ(s->name, name);
  EXPECT_EQ(s->index, index);
  EXPECT_EQ(Sprite_Find(name), index);

  // A deleted slot gets a sprite again.
  ASSERT_TRUE(Sprite_Delete(index));
  EXPECT_TRUE(Sprite_Replace(index, "a.png", 1, true, false, false, true, 0, 0));
  ASSERT_TRUE(Sprite_Exists(index));
  EXPECT_EQ(Sprite_Get(index)->width, 4);

  const int bg = Background_Add("a.png", false, false, true);
  EXPECT_TRUE(Background_Replace(bg, "b.png", true, true, true));
  EXPECT_EQ(Background_Get(bg)->GetWidth(), 12);
  EXPECT_TRUE(Background_Get(bg)->GetTransparent());
}

// ---- The built-ins ----------------------------------------------------------------------------

TEST_F(ImageLoading, TheGroupRegistersItsNamesInOrderWithTheirCounts) {
  const auto names = ExpectGroupRegistered(Sprite_ResourceGroup());
  EXPECT_EQ(names.size(), 62u);
}

TEST_F(ImageLoading, SpriteAddIsNotPreciseAndSpriteReplaceIs) {
  Write("s.png", MarkedPng(8, 8));
  const int index = int(Real("sprite_add", {"s.png", 2, 0.5, 0, 4.5, 3.5}));
  ASSERT_GE(index, 0);
  const CSprite* s = Sprite_Get(index);
  EXPECT_FALSE(s->precise);
  EXPECT_FALSE(s->hasMasks);
  EXPECT_TRUE(s->transparent);  // remove background from a half
  EXPECT_EQ(s->frameCount, 2);
  EXPECT_EQ(s->xOrigin, 4);  // halves to even
  EXPECT_EQ(s->yOrigin, 4);

  EXPECT_EQ(Real("sprite_replace", {index, "s.png", 1, 1, 0, 0, 0}), 1);
  s = Sprite_Get(index);
  EXPECT_TRUE(s->precise);
  EXPECT_TRUE(s->hasMasks);
  EXPECT_EQ(s->frameCount, 1);

  EXPECT_EQ(Real("sprite_add", {"nothing.png", 1, 0, 0, 0, 0}), -1);
  EXPECT_EQ(Real("sprite_add", {5, 1, 0, 0, 0, 0}), -1);
}

TEST_F(ImageLoading, SpriteReplaceReportsAMissingSpriteBeforeWrongKinds) {
  Write("s.png", MarkedPng(2, 2));
  const int index = FileSprite("s.png");
  struct Case {
    std::vector<Arg> args;
    const char* report;
  };
  const Case cases[] = {
      {{Sprite_Count(), 7, "x", 0, 0, 0, 0}, "Trying to replace non-existing sprite."},
      {{-1, "s.png", 1, 0, 0, 0, 0}, "Trying to replace non-existing sprite."},
      {{index, 7, 1, 0, 0, 0, 0}, "sprite_replace: illegal argument type"},
      {{index, "s.png", 1, 0, "0", 0, 0}, "sprite_replace: illegal argument type"},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> values(c.args.size());
    for (size_t i = 0; i < c.args.size(); ++i) ScriptValue_Copy(&values[i], &c.args[i].value);
    const Outcome out = CallArgs("sprite_replace", values);
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    EXPECT_TRUE(out.reported) << c.report;
    EXPECT_NE(out.report.find(c.report), std::string::npos) << out.report;
  }
  EXPECT_EQ(Real("sprite_replace", {index, "missing.png", 1, 0, 0, 0, 0}), 0);
}

TEST_F(ImageLoading, BackgroundBuiltinsLoadAndReport) {
  Write("b.png", MarkedPng(5, 3));
  const int count = Background_Count();
  EXPECT_EQ(Real("background_add", {"nowhere.png", 0, 0}), -1);
  EXPECT_EQ(Background_Count(), count);
  const int index = int(Real("background_add", {"b.png", 0.5, 0}));
  ASSERT_EQ(index, count);
  EXPECT_TRUE(Background_Get(index)->GetTransparent());
  EXPECT_TRUE(Background_Get(index)->GetPreload());
  EXPECT_EQ(Background_GetName(index), "__newbackground" + std::to_string(index));

  EXPECT_EQ(Real("background_replace", {index, "b.png", 0, 0.5}), 1);
  EXPECT_FALSE(Background_Get(index)->GetTransparent());
  EXPECT_TRUE(Background_Get(index)->GetSmooth());

  const Outcome out = Call("background_replace", {index + 1, "b.png", 0, 0});
  EXPECT_NE(out.report.find("Trying to replace non-existing background."), std::string::npos) << out.report;
}

}  // namespace
