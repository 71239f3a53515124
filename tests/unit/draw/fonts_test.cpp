// Fonts of the FONT chunk, the built-in font and sprite fonts: what loading
// keeps, damaged chunks, the font table, and the quads one line draws.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/fonts.h"
#include "script/value.h"
#include "sprites/sprites.h"
#include "unit/container_bytes.h"
#include "unit/draw/font_fixture.h"

namespace {

using fonttest::FontTest;
using fonttest::Glyph;

// 'B' comes first in the file: the table is sorted when loaded.
fonttest::Font TwoGlyphs() {
  fonttest::Font f;
  f.glyphs = {{'B', 8, 0, 4, 9, 5, -1}, {'A', 0, 0, 5, 7, 6, 1, {{'B', -2}, {'V', -1}}}};
  return f;
}

struct Quad {
  float left, top, right, bottom;  // corner 0 and corner 2
  float u1, v1, u2, v2;
};

// The six vertices of glyph quad q as top-left, top-right, bottom-right,
// bottom-right, bottom-left, top-left.
void ExpectQuad(const std::vector<TexturedVertex>& v, size_t q, const Quad& want) {
  ASSERT_GE(v.size(), 6 * q + 6);
  const TexturedVertex* a = &v[6 * q];
  const float xs[6] = {want.left, want.right, want.right, want.right, want.left, want.left};
  const float ys[6] = {want.top, want.top, want.bottom, want.bottom, want.bottom, want.top};
  const float us[6] = {want.u1, want.u2, want.u2, want.u2, want.u1, want.u1};
  const float vs[6] = {want.v1, want.v1, want.v2, want.v2, want.v2, want.v1};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(a[i].x, xs[i]) << "quad " << q << " vertex " << i;
    EXPECT_FLOAT_EQ(a[i].y, ys[i]) << "quad " << q << " vertex " << i;
    EXPECT_FLOAT_EQ(a[i].u, us[i]) << "quad " << q << " vertex " << i;
    EXPECT_FLOAT_EQ(a[i].v, vs[i]) << "quad " << q << " vertex " << i;
  }
}

TEST_F(FontTest, AChunkFontKeepsItsRecordAndSortsItsGlyphs) {
  fonttest::Font a = TwoGlyphs();
  a.first = 40 | 0x86u << 16 | (3u + 1) << 24;
  a.last = 200;
  a.bold = 7;
  a.xScale = 2;
  a.yScale = 0.5f;
  fonttest::Font b;
  b.name = "fnt_plain";
  b.entry = false;
  std::vector<uint16_t> table(256);
  for (int i = 0; i < 256; ++i) table[size_t(i)] = uint16_t(0x400 + i);
  Load(fonttest::FontContainer({std::nullopt, a, b}, table));

  ASSERT_EQ(Font_Count(), 3);
  EXPECT_FALSE(Font_Exists(0));
  EXPECT_EQ(Font_GetName(0), "<undefined>");
  EXPECT_EQ(Font_GetName(1), "fnt_test");
  EXPECT_EQ(Font_Find("fnt_plain"), 2);
  EXPECT_EQ(Font_Find("Test Face"), -1);
  CFontTW* f = Font_Get(1);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetName(), "Test Face");
  EXPECT_EQ(f->GetSize(), 12);
  EXPECT_TRUE(f->GetBold());
  EXPECT_FALSE(f->GetItalic());
  EXPECT_EQ(f->GetFirst(), 40);
  EXPECT_EQ(f->GetCharset(), 0x86);
  EXPECT_EQ(f->GetAntialias(), 3);
  EXPECT_EQ(f->GetLast(), 200);
  EXPECT_EQ(f->XScale(), 2.0f);
  EXPECT_EQ(f->YScale(), 0.5f);
  EXPECT_EQ(f->Tallest(), 9);
  EXPECT_EQ(f->TextureWidth(), 32) << "the page entry's size";
  EXPECT_EQ(f->TextureHeight(), 16);
  ASSERT_EQ(f->GlyphCount(), 2);
  EXPECT_EQ(f->GlyphAt(0).character, 'A');
  ASSERT_EQ(f->GlyphAt(0).kerning.size(), 2u);
  EXPECT_EQ(f->GlyphAt(0).kerning[1].other, 'V');
  EXPECT_EQ(f->GlyphAt(0).kerning[1].amount, -1);
  EXPECT_EQ(f->FindGlyph('B')->advance, 5);
  EXPECT_EQ(f->FindGlyph('C'), nullptr);
  EXPECT_EQ(f->GetPageEntry(), TPage_Get(0)) << "found once TPAG is loaded after FONT";
  EXPECT_TRUE(Texture_Exists(f->GetTexture()));

  const CFontTW* plain = Font_Get(2);
  EXPECT_EQ(plain->GetCharset(), 0) << "high bytes of 0 leave charset and antialias";
  EXPECT_EQ(plain->GetAntialias(), 0);
  EXPECT_EQ(plain->GetPageEntry(), nullptr);
  EXPECT_EQ(Font_TableCharacter(65), 0x441) << "the chunk's character table";
  EXPECT_EQ(Font_TableCharacter(300), 300);
}

TEST_F(FontTest, ADamagedFontChunkIsADataErrorAndLeavesNoFonts) {
  const std::vector<uint8_t> good = fonttest::FontContainer({TwoGlyphs()});
  const size_t body = testbytes::Body(good, "FONT");
  const uint32_t record = testbytes::Rd32(good, body + 4);
  const uint32_t glyph0 = testbytes::Rd32(good, record + 44);
  const uint32_t glyph1 = testbytes::Rd32(good, record + 48);
  const size_t bodyEnd = body + testbytes::Rd32(good, body - 4);
  const size_t pages = testbytes::Body(good, "TPAG");
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"a glyph count past the body", record + 40, 0x40000000},
      {"a glyph count one too many", record + 40, 3 + (uint32_t(bodyEnd) - record - 44) / 4},
      {"a glyph in another chunk", record + 44, uint32_t(pages)},
      {"a glyph past the container", record + 44, 0xFFFFFFF0u},
      {"a glyph without a record", record + 48, 0},
      {"kerning pairs past the body", glyph1 + 12, 0xFFFF0000u},
      {"a record at the body's end", body + 4, uint32_t(bodyEnd) - 8},
      {"a face name that is no string", record + 4, uint32_t(glyph0)},
      {"a page entry past the container", record + 28, 0xFFFFFF00u},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    testbytes::Put32(bad, c.at, c.value);
    EXPECT_THROW(Load(bad), DataError) << c.what;
    EXPECT_EQ(Font_Count(), 0) << c.what;
  }
  EXPECT_NO_THROW(Load(good));
  EXPECT_EQ(Font_Count(), 1);
}

TEST_F(FontTest, EachGlyphSitsAtThePenPlusItsOffsetAndMovesThePenByItsAdvance) {
  Load(fonttest::FontContainer({TwoGlyphs()}));
  CFontTW* f = Font_Get(0);
  const auto text = Wide("AxB");  // no glyph for x: nothing drawn, the pen stays
  f->Draw(10, 20, text.data(), 0x00332211u, 0.5f);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  const float tw = 1.0f / fonttest::kPageWidth, th = 1.0f / fonttest::kPageHeight;
  const float px = fonttest::kEntryX, py = fonttest::kEntryY;
  // A: offset 1, 5 x 7, advance 6; the quad reaches half a pixel beyond.
  ExpectQuad(v, 0, {10.5f, 19.5f, 16.5f, 27.5f, (px - 0.5f) * tw, (py - 0.5f) * th, (px + 5.5f) * tw, (py + 7.5f) * th});
  // B at pen 16: offset -1, 4 x 9 from page (8, 0).
  ExpectQuad(v, 1,
             {14.5f, 19.5f, 19.5f, 29.5f, (px + 7.5f) * tw, (py - 0.5f) * th, (px + 12.5f) * tw, (py + 9.5f) * th});
  for (const TexturedVertex& x : v) EXPECT_EQ(x.colour, 0x7F112233u) << "red and blue exchanged, alpha 127";
}

TEST_F(FontTest, TheFontsScalesStretchQuadsAndAdvances) {
  fonttest::Font font = TwoGlyphs();
  font.xScale = 2;
  font.yScale = 3;
  Load(fonttest::FontContainer({font}));
  const auto text = Wide("AB");
  Font_Get(0)->Draw(0, 0, text.data(), 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  EXPECT_FLOAT_EQ(v[0].x, 2 - 0.5f);
  EXPECT_FLOAT_EQ(v[1].x, 2 + 10 + 0.5f);
  EXPECT_FLOAT_EQ(v[2].y, 21 + 0.5f);
  EXPECT_FLOAT_EQ(v[6].x, 12 - 2 - 0.5f) << "B at pen 12, offset -1 scaled";
}

TEST_F(FontTest, TurnedTextRunsAlongTheAngle) {
  Load(fonttest::FontContainer({TwoGlyphs()}));
  const auto text = Wide("AB");
  // 90 degrees: the line runs up the screen, glyph tops facing left.
  Font_Get(0)->DrawTransformed(100, 100, text.data(), 1, 2, 90, 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  const float eps = 1e-4f;
  // A: origin (100, 99); top edge 5 up, left edge 14 to the right.
  EXPECT_NEAR(v[0].x, 100 - 0.5f, eps);
  EXPECT_NEAR(v[0].y, 99 - 0.5f, eps);
  EXPECT_NEAR(v[1].y, 94 - 0.5f, eps);
  EXPECT_NEAR(v[2].x, 114 + 0.5f, eps);
  EXPECT_NEAR(v[2].y, 94 + 0.5f, eps);
  EXPECT_NEAR(v[4].x, 114 + 0.5f, eps);
  EXPECT_NEAR(v[4].y, 99 + 0.5f, eps);
  // B: the pen moved 6 up to (100, 94); offset -1 puts it at y 95.
  EXPECT_NEAR(v[6].y, 95 - 0.5f, eps);
  EXPECT_NEAR(v[6].x, 100 - 0.5f, eps);

  // Below a thousandth of a degree the line is not turned.
  Font_Get(0)->DrawTransformed(100, 100, text.data(), 1, 2, 0.0009f, 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> flat = Drawn();
  ASSERT_EQ(flat.size(), 12u);
  EXPECT_FLOAT_EQ(flat[2].x, 106.5f);
  EXPECT_FLOAT_EQ(flat[2].y, 114.5f);
}

TEST_F(FontTest, CornerIdsMarkEachGlyphsCorners) {
  Load(fonttest::FontContainer({TwoGlyphs()}));
  Draw_State().cornerId = true;
  const auto text = Wide("A");
  Font_Get(0)->Draw(0, 0, text.data(), 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 6u);
  const uint32_t want[6] = {0xFFFEFFFEu, 0xFFFEFFFFu, 0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFEFFFEu};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v[size_t(i)].colour, want[i]) << i;
}

TEST_F(FontTest, CornerColoursSpreadAcrossTheLine) {
  fonttest::Font font;
  font.glyphs = {{'A', 0, 0, 5, 7, 6, 0}, {'C', 8, 0, 5, 7, 6, 0}};
  Load(fonttest::FontContainer({font}));
  const auto text = Wide("AC");
  const uint32_t red = 0x0000FF, blue = 0xFF0000;
  Font_Get(0)->DrawColour(0, 0, text.data(), red, blue, blue, red, 1);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  // Device colours; purple is 0x800080 either way round.
  const uint32_t R = 0xFFFF0000u, B = 0xFF0000FFu, P = 0xFF800080u;
  const uint32_t want[2][4] = {{R, P, P, R}, {P, B, B, P}};  // top-left, top-right, bottom-right, bottom-left
  for (int q = 0; q < 2; ++q) {
    const TexturedVertex* a = &v[size_t(6 * q)];
    EXPECT_EQ(a[0].colour, want[q][0]) << q;
    EXPECT_EQ(a[1].colour, want[q][1]) << q;
    EXPECT_EQ(a[2].colour, want[q][2]) << q;
    EXPECT_EQ(a[4].colour, want[q][3]) << q;
  }
  EXPECT_FLOAT_EQ(v[6].x, 6) << "no half-pixel widening in the coloured forms";
}

TEST_F(FontTest, TheBuiltInFontIsMadeOnceOnItsOwnPage) {
  EXPECT_EQ(Text_DefaultFont(), nullptr);
  Text_CreateDefaultFont();
  CFontTW* f = Text_DefaultFont();
  ASSERT_NE(f, nullptr);
  Text_CreateDefaultFont();
  EXPECT_EQ(Text_DefaultFont(), f);
  EXPECT_EQ(f->GetName(), "debug");
  EXPECT_EQ(f->GetSize(), 10);
  EXPECT_EQ(f->GetFirst(), 32);
  EXPECT_EQ(f->GetLast(), 136);
  EXPECT_EQ(f->Tallest(), 15);
  ASSERT_EQ(f->GlyphCount(), 105);
  for (int i = 0; i < 105; ++i) {
    const FontGlyph& g = f->GlyphAt(i);
    EXPECT_EQ(g.character, 32 + i);
    EXPECT_EQ(g.advance, g.width);
    EXPECT_EQ(g.offset, 0);
    EXPECT_LE(g.x + g.width, 256);
    EXPECT_LE(g.y + g.height, 128);
  }
  const TextureEntry* e = Texture_GetEntry(f->GetTexture());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->imageWidth, 256);
  EXPECT_EQ(e->imageHeight, 128);
  // 'A' shows, the space does not.
  auto coverage = [&](const FontGlyph& g) {
    int sum = 0;
    for (int y = g.y; y < g.y + g.height; ++y)
      for (int x = g.x; x < g.x + g.width; ++x) sum += int(e->texture->kept[size_t(y) * 256 + size_t(x)] >> 24);
    return sum;
  };
  EXPECT_GT(coverage(*f->FindGlyph('A')), 255 * 5);
  EXPECT_EQ(coverage(*f->FindGlyph(' ')), 0);
  const auto text = Wide("A B");
  EXPECT_EQ(f->TextWidth(text.data()), 3 * f->FindGlyph('A')->width);
}

class SpriteFontTest : public FontTest {
 protected:
  // Sprites "s3" (0) and "s2" (1) of 8 x 8 frames whose stored pixels are
  // columns 1..3, 0..6 and 2 (s2 has the first two).
  void SetUp() override {
    FontTest::SetUp();
    Load(twpack::BuildFromDescription(
        "ENTRY x=0 y=0 width=3 height=8 xoffset=1 original_width=8 original_height=8 page=0\n"
        "ENTRY x=4 y=0 width=7 height=8 xoffset=0 original_width=8 original_height=8 page=0\n"
        "ENTRY x=12 y=0 width=1 height=8 xoffset=2 original_width=8 original_height=8 page=0\n"
        "PAGE width=16 height=8 fill=0xFFFFFFFF\n"
        "SPRITE \"s3\" width=8 height=8 right=7 bottom=7 frames=0,1,2\n"
        "SPRITE \"s2\" width=8 height=8 right=7 bottom=7 frames=0,1\n"
        "STRG\n"));
  }
};

TEST_F(SpriteFontTest, AMissingSpaceIsAddedAsWideAsTheWidestLetter) {
  const int font = Font_AddSpriteExt(0, "abc", true, 2);
  const CFontTW* f = Font_Get(font);
  ASSERT_EQ(f->GlyphCount(), 4);
  struct Want {
    uint16_t character;
    int frame, advance, offset;
  } want[] = {{' ', 3, 9, 0}, {'a', 0, 5, -1}, {'b', 1, 9, 0}, {'c', 2, 3, -2}};
  for (int i = 0; i < 4; ++i) {
    const FontGlyph& g = f->GlyphAt(i);
    EXPECT_EQ(g.character, want[i].character) << i;
    EXPECT_EQ(g.width, want[i].frame) << i;
    EXPECT_EQ(g.height, 8) << i;
    EXPECT_EQ(g.advance, want[i].advance) << i;
    EXPECT_EQ(g.offset, want[i].offset) << i;
  }
  EXPECT_EQ(f->GetFirst(), ' ');
  EXPECT_EQ(f->GetLast(), ' ' + 4);
  EXPECT_EQ(f->Tallest(), 8);
  EXPECT_EQ(Font_GetName(font), "__newfont" + std::to_string(font));

  const CFontTW* g = Font_Get(Font_AddSpriteExt(1, "abc", false, 1));
  ASSERT_EQ(g->GlyphCount(), 3) << "a, b and the space";
  EXPECT_EQ(g->GlyphAt(1).advance, 9) << "not proportional: the sprite width plus the separation";

  EXPECT_EQ(Font_Get(Font_AddSpriteExt(9, "abc", false, 1))->GlyphCount(), 0) << "no sprite, no glyphs";
}

TEST_F(SpriteFontTest, FramesTakeTheCharacterTableOrCountOnDirectly) {
  CFontTW* table = Font_Get(Font_AddSprite(0, 126, false, 0));
  EXPECT_NE(table->FindGlyph('~'), nullptr);
  EXPECT_NE(table->FindGlyph(127), nullptr);
  EXPECT_NE(table->FindGlyph(0x20AC), nullptr) << "position 128 is the euro sign in Windows-1252";
  EXPECT_EQ(table->FindGlyph(128), nullptr);

  const int font = Font_AddSprite(0, -1, false, 0);
  ASSERT_TRUE(Font_ReplaceSprite(font, 0, 126, false, 0));
  CFontTW* direct = Font_Get(font);
  ASSERT_NE(direct->FindGlyph(128), nullptr) << "replacing counts on without the table";
  EXPECT_EQ(direct->FindGlyph(128)->width, 2) << "frame 2";
  EXPECT_EQ(Font_GetName(font), "__newfont" + std::to_string(font)) << "the name stays";
}

TEST_F(SpriteFontTest, ASpriteFontDrawsFramesAtThePen) {
  const int font = Font_AddSpriteExt(0, "ab", true, 2);
  const auto text = Wide("a b?a");
  Font_Get(font)->Draw(10, 20, text.data(), 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> v = Drawn();
  // Three frames; the space and '?' draw nothing. Each frame's stored
  // pixels start at the pen: the offset undoes the frame's own.
  ASSERT_EQ(v.size(), 18u);
  EXPECT_FLOAT_EQ(v[0].x, 10);
  EXPECT_FLOAT_EQ(v[0].y, 20);
  EXPECT_FLOAT_EQ(v[6].x, 10 + 5 + 9) << "b after a (5) and the space (9, as wide as b)";
  EXPECT_FLOAT_EQ(v[12].x, 10 + 5 + 9 + 9);
}

TEST_F(FontTest, TheTableKeepsIndicesAndNames) {
  Load(fonttest::FontContainer({TwoGlyphs(), TwoGlyphs()}));
  EXPECT_TRUE(Font_Delete(0));
  EXPECT_FALSE(Font_Delete(0)) << "already empty";
  EXPECT_FALSE(Font_Exists(0));
  EXPECT_EQ(Font_Find("fnt_test"), 1) << "the other keeps its index";
  EXPECT_EQ(Font_GetName(0), "<undefined>");
  const int sprite = Sprite_CreateNew();
  ASSERT_TRUE(Sprite_Get(sprite)->SetFrameBitmaps({CBitmap32::Fill(4, 4, 0)}));
  ASSERT_EQ(sprite, 0);
  EXPECT_EQ(Font_AddSpriteExt(sprite, "x", false, 0), 2) << "slots are appended, never reused";
  EXPECT_TRUE(Font_ReplaceSpriteExt(0, sprite, "y", false, 0)) << "an empty slot in range can be filled";
  EXPECT_NE(Font_Get(0)->FindGlyph('y'), nullptr);
  EXPECT_FALSE(Font_ReplaceSpriteExt(3, sprite, "y", false, 0));
  EXPECT_FALSE(Font_ReplaceSpriteExt(-1, sprite, "y", false, 0));
  EXPECT_FALSE(Font_Delete(7));
  EXPECT_EQ(Font_Get(-1), nullptr);
}

}  // namespace
