// The font family of the resource built-ins: getters of missing fonts, the
// reports of missing fonts and sprites, and adding, replacing and deleting.
#include <gtest/gtest.h>

#include "draw/fonts.h"
#include "sprites/sprites.h"
#include "unit/graphics/graphics_fixture.h"
#include "unit/script/builtins_call.h"

namespace {

class FontBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    GraphicsState_Reset(&device);
    Textures_Reset();
    Font_Init();
    Font_RegisterResourceFunctions();
  }
  void TearDown() override {
    Font_Shutdown();
    Textures_Reset();
    GraphicsState_Clear();
    BuiltinsTest::TearDown();
  }

  // A sprite of two 4 x 4 frames.
  static int Sprite() {
    const int index = Sprite_CreateNew();
    EXPECT_TRUE(Sprite_Get(index)->SetFrameBitmaps({CBitmap32::Fill(4, 4, 0), CBitmap32::Fill(4, 4, 0)}));
    return index;
  }

  gfx::RecordingDevice device;
};

TEST_F(FontBuiltins, AMissingFontReadsAsMinusOneOrNoName) {
  for (double index : {-1.0, 0.0, 3.0}) {
    EXPECT_EQ(Real("font_exists", {index}), 0) << index;
    for (const char* getter : {"font_get_size", "font_get_bold", "font_get_italic", "font_get_first", "font_get_last"})
      EXPECT_EQ(Real(getter, {index}), -1) << getter << " " << index;
    EXPECT_EQ(Text("font_get_fontname", {index}), "") << index;
    EXPECT_EQ(Text("font_get_name", {index}), "<undefined>") << index;
    EXPECT_EQ(Text("font_name", {index}), "<undefined>") << index;
  }
}

TEST_F(FontBuiltins, AddingAFontKeepsItsSettingsEvenWithoutItsFile) {
  const double index = Real("font_add", {"missing.ttf", 11.5, 0.5, 0.49, -5, 300});
  EXPECT_EQ(index, 0);
  EXPECT_EQ(Real("font_exists", {0.4}), 1) << "indices are rounded";
  EXPECT_EQ(Real("font_get_size", {index}), 12) << "halves to even";
  EXPECT_EQ(Real("font_get_bold", {index}), 1) << "a flag from 0.5 on";
  EXPECT_EQ(Real("font_get_italic", {index}), 0);
  EXPECT_EQ(Real("font_get_first", {index}), 0);
  EXPECT_EQ(Real("font_get_last", {index}), 255);
  EXPECT_EQ(Text("font_get_fontname", {index}), "missing.ttf");
  EXPECT_EQ(Text("font_get_name", {index}), "__newfont0");
}

TEST_F(FontBuiltins, MissingFontsAndSpritesAreReportedAndChangeNothing) {
  const int sprite = Sprite();
  const double font = Real("font_add_sprite_ext", {sprite, "ab", 1, 0});
  struct Case {
    const char* name;
    std::vector<Arg> args;
    const char* report;
  } cases[] = {
      {"font_add_sprite", {7, 32, 0, 0}, "Trying to create font from non-existing sprite."},
      {"font_add_sprite_ext", {7, "ab", 0, 0}, "Trying to create font from non-existing sprite."},
      {"font_replace", {5, "x.ttf", 12, 0, 0, 32, 127}, "Trying to replace non-existing font."},
      {"font_replace_sprite", {5, 7, 32, 0, 0}, "Trying to replace non-existing font."},
      {"font_replace_sprite", {font, 7, 32, 0, 0}, "Trying to replace font from non-existing sprite."},
      {"font_replace_sprite_ext", {5, 7, "ab", 0, 0}, "Trying to replace non-existing font."},
      {"font_replace_sprite_ext", {font, 7, "ab", 0, 0}, "Trying to replace font from non-existing sprite."},
      {"font_delete", {5}, "Trying to delete non-existing font."},
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> values(c.args.size());
    for (size_t i = 0; i < values.size(); ++i) ScriptValue_Copy(&values[i], &c.args[i].value);
    Outcome out = CallArgs(c.name, values);
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    EXPECT_TRUE(out.reported) << c.name;
    EXPECT_NE(out.report.find(c.report), std::string::npos) << c.name << ": " << out.report;
    EXPECT_EQ(out.Real(), 0) << c.name;
    EXPECT_EQ(Font_Count(), 1) << c.name;
    EXPECT_NE(Font_Get(0)->FindGlyph('a'), nullptr) << c.name << " left the font alone";
  }
}

TEST_F(FontBuiltins, SpriteFontsAreAddedReplacedAndDeleted) {
  const int sprite = Sprite();
  EXPECT_EQ(Real("font_add_sprite", {sprite, 65, 0, 1}), 0);
  EXPECT_EQ(Real("font_get_first", {0}), ' ') << "the space is added and is the smallest";
  EXPECT_EQ(Real("font_get_last", {0}), ' ' + 3);
  EXPECT_EQ(Text("font_get_fontname", {0}), "") << "a sprite font has no face";
  EXPECT_EQ(Real("font_replace_sprite_ext", {0, sprite, "xy", 1, 0}), 1);
  EXPECT_NE(Font_Get(0)->FindGlyph('y'), nullptr);
  EXPECT_EQ(Real("font_replace_sprite", {0, sprite, 0x400, 1, 0}), 1);
  EXPECT_NE(Font_Get(0)->FindGlyph(0x401), nullptr);
  EXPECT_EQ(Text("font_get_name", {0}), "__newfont0") << "replacing keeps the name";
  EXPECT_EQ(Real("font_replace", {0, "none.ttf", 9, 1, 1, 40, 50}), 1);
  EXPECT_EQ(Real("font_get_size", {0}), 9);
  EXPECT_EQ(Real("font_delete", {0}), 1);
  EXPECT_EQ(Real("font_exists", {0}), 0);
  EXPECT_EQ(Real("font_add_sprite_ext", {sprite, "z", 0, 0}), 1) << "a deleted slot is not reused";
}

TEST_F(FontBuiltins, NoBuiltInReadsPastItsArguments) {
  Sprite();
  for (const char* name : {"font_name", "font_exists", "font_get_name", "font_get_fontname", "font_get_size",
                           "font_get_bold", "font_get_italic", "font_get_first", "font_get_last", "font_add",
                           "font_replace", "font_add_sprite", "font_add_sprite_ext", "font_replace_sprite",
                           "font_replace_sprite_ext", "font_delete"}) {
    std::vector<ScriptValue> none;
    Outcome out = CallArgs(name, none);  // a missing argument reads as 0 or ""
    (void)out;
  }
  EXPECT_GE(Font_Count(), 2) << "font_add and font_add_sprite made fonts of the missing arguments";
}

}  // namespace
