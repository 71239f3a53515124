// The font chunk (FONT) of the data-file writer, decoded here with a reader
// of the test's own, and the description's FONT blocks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/image_codecs.h"
#include "pack.h"
#include "textures.h"
#include "unit/container_bytes.h"

namespace {

using testbytes::Body;
using testbytes::Bytes;
using testbytes::Rd32;
using testbytes::F32;
using twpack::PackError;

uint16_t Rd16(const Bytes& b, size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); }
int16_t S16(const Bytes& b, size_t at) { return int16_t(Rd16(b, at)); }
using testbytes::Str;
uint32_t ChunkSize(const Bytes& b, const char* tag) { return Rd32(b, Body(b, tag) - 4); }

struct DecodedGlyph {
  uint16_t character;
  int16_t x, y, width, height, advance, offset;
  std::vector<std::pair<uint16_t, int16_t>> kerning;
  bool operator==(const DecodedGlyph&) const = default;
};

struct DecodedFont {
  std::string name, face;
  uint32_t size, bold, italic, first_word, last, entry;
  float x_scale, y_scale;
  uint32_t glyph_count;
  std::vector<DecodedGlyph> glyphs;
};

std::vector<uint32_t> FontRecords(const Bytes& b) {
  const size_t body = Body(b, "FONT");
  std::vector<uint32_t> out(Rd32(b, body));
  for (size_t i = 0; i < out.size(); ++i) out[i] = Rd32(b, body + 4 + 4 * i);
  return out;
}

DecodedFont DecodeFont(const Bytes& b, uint32_t at) {
  DecodedFont f{Str(b, Rd32(b, at)), Str(b, Rd32(b, at + 4)), Rd32(b, at + 8), Rd32(b, at + 12),
                Rd32(b, at + 16), Rd32(b, at + 20), Rd32(b, at + 24), Rd32(b, at + 28), F32(b, at + 32),
                F32(b, at + 36), Rd32(b, at + 40), {}};
  const size_t body = Body(b, "FONT");
  const size_t table = body + ChunkSize(b, "FONT") - 512;
  for (uint32_t i = 0; i < f.glyph_count; ++i) {
    const uint32_t g = Rd32(b, at + 44 + 4 * i);
    // Every glyph lies in the body before the character table.
    EXPECT_GE(g, body);
    EXPECT_LE(g + 16, table);
    DecodedGlyph d{Rd16(b, g), S16(b, g + 2), S16(b, g + 4), S16(b, g + 6), S16(b, g + 8), S16(b, g + 10),
                   S16(b, g + 12), {}};
    for (uint16_t k = 0; k < Rd16(b, g + 14); ++k) d.kerning.emplace_back(Rd16(b, g + 16 + 4 * k), S16(b, g + 18 + 4 * k));
    f.glyphs.push_back(d);
  }
  return f;
}

// A TPAG entry: eleven u16 {x, y, width, height, x offset, y offset, crop
// width, crop height, original width, original height, page}.
std::vector<uint16_t> Entry(const Bytes& b, uint32_t at) {
  std::vector<uint16_t> e;
  for (int i = 0; i < 11; ++i) e.push_back(Rd16(b, at + 2 * i));
  return e;
}

// The PNG of texture page `page` decoded to 0xAARRGGBB words.
std::vector<uint32_t> Page(const Bytes& b, size_t page, int* w, int* h) {
  const size_t txtr = Body(b, "TXTR");
  const uint32_t rec = Rd32(b, txtr + 4 + 4 * page);
  const uint32_t png = Rd32(b, rec + 4);
  uint32_t* px = PNG_Load(b.data() + png, b.size() - png, w, h);
  EXPECT_NE(px, nullptr);
  std::vector<uint32_t> out(px, px + (px ? size_t(*w) * size_t(*h) : 0));
  PNG_Free(px);
  return out;
}

std::string Refusal(const std::string& text, const std::string& dir = {}) {
  try {
    twpack::BuildFromDescription(text, dir);
  } catch (const PackError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(PackFont, RecordGlyphsAndCharacterTableAsLaidOut) {
  twpack::Writer w;
  twpack::ImageSet set(w);
  set.PlaceEntries();
  set.PlacePages();
  set.PlaceFonts();
  set.entries.push_back({3, 4, 20, 10, 0, 0, 20, 10, 20, 10, 0});
  set.pages.emplace_back(twpack::TexturePage{0, twpack::EncodePng(std::vector<uint8_t>(32 * 16 * 4), 32, 16)});
  twpack::Font f;
  f.name = "fnt_main";
  f.face = "Liberation";
  f.size = 14;
  f.bold = 1;
  f.italic = 0;
  f.first = 0x41;
  f.charset = 0xEE;
  f.antialias = 2;
  f.last = 0x5A;
  f.x_scale = 2.0f;
  f.y_scale = 0.5f;
  f.entry = 0;
  f.glyphs.push_back({0x41, 1, 2, 7, 9, 8, -1, {{0x42, -2}, {0x56, 3}}});
  f.glyphs.push_back({0x42, 9, 2, 6, 9, 7, 0, {}});
  set.fonts.emplace_back();  // an empty slot
  set.fonts.push_back(f);
  set.Finish();
  const Bytes b = w.Build();

  const std::vector<uint32_t> recs = FontRecords(b);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0], 0u);
  const DecodedFont d = DecodeFont(b, recs[1]);
  EXPECT_EQ(d.name, "fnt_main");
  EXPECT_EQ(d.face, "Liberation");
  EXPECT_EQ(d.size, 14u);
  EXPECT_EQ(d.bold, 1u);
  EXPECT_EQ(d.italic, 0u);
  // First character, charset, antialias + 1.
  EXPECT_EQ(d.first_word, 0x03EE0041u);
  EXPECT_EQ(d.last, 0x5Au);
  EXPECT_EQ(d.entry, Rd32(b, Body(b, "TPAG") + 4));
  EXPECT_EQ(Entry(b, d.entry), (std::vector<uint16_t>{3, 4, 20, 10, 0, 0, 20, 10, 20, 10, 0}));
  EXPECT_EQ(d.x_scale, 2.0f);
  EXPECT_EQ(d.y_scale, 0.5f);
  ASSERT_EQ(d.glyph_count, 2u);
  EXPECT_EQ(d.glyphs[0], (DecodedGlyph{0x41, 1, 2, 7, 9, 8, -1, {{0x42, -2}, {0x56, 3}}}));
  EXPECT_EQ(d.glyphs[1], (DecodedGlyph{0x42, 9, 2, 6, 9, 7, 0, {}}));

  // The body's last 512 bytes: Windows-1252 to Unicode, the five undefined
  // positions mapping to themselves.
  const size_t table = Body(b, "FONT") + ChunkSize(b, "FONT") - 512;
  const std::pair<int, uint16_t> expect[] = {{0, 0},         {0x41, 0x41},   {0x7F, 0x7F},   {0x80, 0x20AC},
                                             {0x81, 0x81},   {0x8A, 0x160},  {0x8D, 0x8D},   {0x8F, 0x8F},
                                             {0x90, 0x90},   {0x92, 0x2019}, {0x99, 0x2122}, {0x9D, 0x9D},
                                             {0x9F, 0x178},  {0xA0, 0xA0},   {0xE9, 0xE9},   {0xFF, 0xFF}};
  for (const auto& [pos, ch] : expect) EXPECT_EQ(Rd16(b, table + 2 * pos), ch) << "position " << pos;
}

TEST(PackFont, NoAntialiasStoresZeroAndGlyphCountCanBeOverridden) {
  twpack::Writer w;
  twpack::ImageSet set(w);
  set.PlaceFonts();
  twpack::Font f;
  f.name = "f";
  f.first = 32;
  f.glyph_count_override = 9;
  set.fonts.push_back(f);
  set.Finish();
  const Bytes b = w.Build();
  const uint32_t rec = FontRecords(b)[0];
  EXPECT_EQ(Rd32(b, rec + 20), 32u);
  EXPECT_EQ(Rd32(b, rec + 28), 0u);  // no page entry
  EXPECT_EQ(Rd32(b, rec + 40), 9u);
  // No glyph offsets: the character table follows the record's count.
  EXPECT_EQ(ChunkSize(b, "FONT"), 4u + 4u + 44u + 512u);
}

TEST(PackFont, SolidGlyphsGetAPageOfTheirOwnAfterEveryOtherPage) {
  const Bytes b = twpack::BuildFromDescription(R"(
PAGE width=4 height=4 fill=0x00FF00FF
ENTRY width=4 height=4
FONT "solid" size=10 first=32 last=127
  GLYPHS "BA" width=3 height=5 fill=0xFF0000FF
  GLYPH " " width=0 height=0 advance=4
  GLYPH 0x43 width=2 height=5 advance=6 offset=1 fill=0x0000FF80
END
)");
  const DecodedFont d = DecodeFont(b, FontRecords(b)[0]);
  EXPECT_EQ(d.face, "Arial");
  EXPECT_EQ(d.first_word, 32u);  // no charset, no antialias
  ASSERT_EQ(d.glyph_count, 4u);
  // Sorted by character; advance defaults to the width.
  EXPECT_EQ(d.glyphs[0].character, ' ');
  EXPECT_EQ(d.glyphs[0].advance, 4);
  EXPECT_EQ(d.glyphs[1].character, 'A');
  EXPECT_EQ(d.glyphs[1].advance, 3);
  EXPECT_EQ(d.glyphs[2].character, 'B');
  EXPECT_EQ(d.glyphs[3].character, 'C');
  EXPECT_EQ(d.glyphs[3].advance, 6);
  EXPECT_EQ(d.glyphs[3].offset, 1);

  // The font's entry is the second one, covering the whole of page 1.
  const size_t tpag = Body(b, "TPAG");
  ASSERT_EQ(Rd32(b, tpag), 2u);
  EXPECT_EQ(d.entry, Rd32(b, tpag + 8));
  const std::vector<uint16_t> e = Entry(b, d.entry);
  EXPECT_EQ(e[10], 1);  // page
  EXPECT_EQ((std::vector<uint16_t>{e[0], e[1], e[4], e[5]}), (std::vector<uint16_t>{0, 0, 0, 0}));
  int w = 0, h = 0;
  const std::vector<uint32_t> px = Page(b, 1, &w, &h);
  EXPECT_EQ(e[2], w);
  EXPECT_EQ(e[3], h);
  EXPECT_EQ(e[8], w);
  EXPECT_EQ(e[9], h);

  // Each glyph's rectangle holds its fill and nothing else on the page is
  // visible; no two rectangles touch.
  std::vector<int> owner(size_t(w) * size_t(h), -1);
  const uint32_t colour[] = {0, 0xFFFF0000u, 0xFFFF0000u, 0x800000FFu};
  for (int i = 1; i < 4; ++i) {
    const DecodedGlyph& g = d.glyphs[size_t(i)];
    for (int y = g.y - 1; y <= g.y + g.height; ++y)
      for (int x = g.x - 1; x <= g.x + g.width; ++x) {
        ASSERT_TRUE(x >= 0 && y >= 0 && x < w && y < h) << "glyph " << i << " has no gap to the page's edge";
        const bool inside = x >= g.x && x < g.x + g.width && y >= g.y && y < g.y + g.height;
        if (inside) owner[size_t(y) * w + x] = i;
        else EXPECT_EQ(owner[size_t(y) * w + x], -1) << "glyph " << i << " touches another at " << x << "," << y;
      }
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int o = owner[size_t(y) * w + x];
      const uint32_t p = px[size_t(y) * w + x];
      if (o < 0) EXPECT_EQ(p >> 24, 0u) << x << "," << y;
      else EXPECT_EQ(p, colour[o]) << x << "," << y;
    }
}

TEST(PackFont, GlyphsOnAGivenEntryOrImageKeepTheirPlaces) {
  char dir[] = "/tmp/twpack-font-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::vector<uint8_t> png = twpack::EncodePng(std::vector<uint8_t>(24 * 12 * 4, 0xFF), 24, 12);
  std::ofstream(std::string(dir) + "/glyphs.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  const Bytes b = twpack::BuildFromDescription(R"(
PAGE width=64 height=64 fill=0xFFFFFFFF
ENTRY x=10 y=20 width=30 height=12
FONT "on_entry" entry=0 antialias=0 charset=1 face="Serif" bold=1 italic=1 xscale=1.5
  GLYPH "a" x=4 y=1 width=5 height=8 kerning=98:-1
  GLYPH "é" x=10 y=1 width=5 height=8
END
FONT none
FONT "on_image" png="glyphs.png"
  GLYPH 65 x=12 y=2 width=6 height=7
END
FONTTABLE 0=0x2603 255="A"
)", dir);
  std::remove((std::string(dir) + "/glyphs.png").c_str());
  rmdir(dir);

  const std::vector<uint32_t> recs = FontRecords(b);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[1], 0u);
  const DecodedFont a = DecodeFont(b, recs[0]);
  EXPECT_EQ(a.face, "Serif");
  EXPECT_EQ((std::vector<uint32_t>{a.bold, a.italic}), (std::vector<uint32_t>{1, 1}));
  EXPECT_EQ(a.first_word, 0x01010020u);
  EXPECT_EQ(a.x_scale, 1.5f);
  const size_t tpag = Body(b, "TPAG");
  EXPECT_EQ(a.entry, Rd32(b, tpag + 4));
  ASSERT_EQ(a.glyphs.size(), 2u);
  EXPECT_EQ(a.glyphs[0], (DecodedGlyph{'a', 4, 1, 5, 8, 5, 0, {{98, -1}}}));
  EXPECT_EQ(a.glyphs[1].character, 0xE9);
  EXPECT_EQ(a.glyphs[1].x, 10);

  // The image becomes page 1 with an entry covering all of it.
  const DecodedFont i = DecodeFont(b, recs[2]);
  EXPECT_EQ(i.entry, Rd32(b, tpag + 8));
  EXPECT_EQ(Entry(b, i.entry), (std::vector<uint16_t>{0, 0, 24, 12, 0, 0, 24, 12, 24, 12, 1}));
  EXPECT_EQ(i.glyphs[0], (DecodedGlyph{65, 12, 2, 6, 7, 6, 0, {}}));
  int w = 0, h = 0;
  Page(b, 1, &w, &h);
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 12);

  const size_t table = Body(b, "FONT") + ChunkSize(b, "FONT") - 512;
  EXPECT_EQ(Rd16(b, table), 0x2603);
  EXPECT_EQ(Rd16(b, table + 2 * 255), 'A');
  EXPECT_EQ(Rd16(b, table + 2 * 0x80), 0x20AC);
}

TEST(PackFont, DescriptionsTheWriterCannotHonourAreRefused) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"FONT \"f\"\n GLYPH \"A\" width=2 height=2\n", "line 1: FONT block without END"},
      {"FONT \"f\"\n GLYPHS \"ABA\" width=2 height=2\nEND\n", "two glyphs for character 65"},
      {"FONT \"f\"\n GLYPH \"A\" x=1 width=2 height=2\nEND\n", "'x' needs a FONT with entry= or png="},
      {"PAGE width=1 height=1 fill=0\nENTRY width=1 height=1\nFONT \"f\" entry=0\n GLYPH \"A\" fill=0xFF\nEND\n",
       "'fill' makes the font's own page"},
      {"FONT \"f\"\n GLYPH \"AB\"\nEND\n", "one character of the 16-bit range"},
      {"FONT \"f\"\n GLYPH \"\xF0\x9F\x98\x80\"\nEND\n", "one character of the 16-bit range"},
      {"FONT \"f\"\n GLYPH 65536\nEND\n", "bad number '65536'"},
      {"FONT \"f\" antialias=255\nEND\n", "bad number '255' for 'antialias'"},
      {"FONT \"f\" entry=3\nEND\n", "font \"f\" names page entry 3, but there are 0"},
      {"FONT \"f\" png=\"missing.png\"\nEND\n", "cannot read"},
      {"FONT \"f\"\n SPRITE \"s\"\nEND\n", "line 2: unexpected 'SPRITE' in a FONT block"},
      {"FONT \"f\"\n GLYPH \"A\" kerning=66\nEND\n", "CHARACTER:AMOUNT"},
      {"FONT \"f\" typo=1\nEND\n", "unknown key 'typo'"},
      {"FONT f\nEND\n", "FONT takes a quoted name, or none"},
      {"FONTTABLE 256=1\n", "positions are 0 to 255"},
  };
  for (const auto& c : cases) {
    const std::string got = Refusal(c.text, "/nonexistent-dir");
    EXPECT_NE(got.find(c.message), std::string::npos) << c.text << "\ngave: " << got;
  }
}

}  // namespace
