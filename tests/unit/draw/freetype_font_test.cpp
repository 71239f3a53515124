// Fonts from font files: the glyph table, glyphs rendered into page cells on
// first use (FreeType itself is the oracle), cells reused oldest first, and
// the faces no cell fits.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "draw/fonts.h"
#include "files/files.h"
#include "script/console.h"
#include "unit/draw/font_fixture.h"
#include "unit/line_console.h"

namespace {

namespace fs = std::filesystem;
using fonttest::FontTest;

constexpr const char* kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";


// FreeType's own view of the face at a size, independent of the engine.
class Oracle {
 public:
  Oracle(int size) {
    EXPECT_EQ(FT_Init_FreeType(&library_), 0);
    EXPECT_EQ(FT_New_Face(library_, kFace, 0, &face_), 0);
    FT_Set_Char_Size(face_, 0, size * 64, 0, 0);
    FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
  }
  ~Oracle() {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
  }
  static int Up(FT_Pos v) { return int((v + 63) >> 6); }
  int Baseline() const { return Up(face_->size->metrics.ascender); }
  int LineHeight() const { return Up(face_->size->metrics.height); }
  int Advance(uint32_t c) {
    FT_Load_Char(face_, c, FT_LOAD_DEFAULT);
    return Up(face_->glyph->advance.x);
  }
  // Characters of the 16-bit range the charmap maps.
  int MappedCharacters() const {
    int n = 0;
    FT_UInt index;
    for (FT_ULong c = FT_Get_First_Char(face_, &index); index; c = FT_Get_Next_Char(face_, c, &index)) n += c <= 0xFFFF;
    return n;
  }
  // The coverage at (x, y) of the glyph drawn with its line's top at row 0
  // and its pen at column -left, 0 outside the bitmap.
  struct Bitmap {
    int left, top, width, rows;
    std::vector<uint8_t> coverage;
    int At(int x, int y) const {
      x -= left;
      y -= top;
      return x >= 0 && y >= 0 && x < width && y < rows ? coverage[size_t(y * width + x)] : 0;
    }
  };
  Bitmap Render(uint32_t c) {
    FT_Load_Char(face_, c, FT_LOAD_RENDER);
    const FT_Bitmap& b = face_->glyph->bitmap;
    Bitmap out{face_->glyph->bitmap_left, Baseline() - face_->glyph->bitmap_top, int(b.width), int(b.rows), {}};
    for (unsigned r = 0; r < b.rows; ++r)
      for (unsigned x = 0; x < b.width; ++x) out.coverage.push_back(b.buffer[r * b.pitch + x]);
    return out;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

class FreeTypeFontTest : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    area_ = fs::path(::testing::TempDir()) / ("tw-fonts-" + std::to_string(::getpid()));
    fs::create_directories(area_);
    ASSERT_TRUE(fs::exists(kFace)) << "fonts-dejavu-core is a test dependency";
    fs::copy_file(kFace, area_ / "face.ttf", fs::copy_options::overwrite_existing);
    std::ofstream(area_ / "junk.ttf") << "not a font";
    LoadSave_SetSaveArea(area_.string());
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
  }
  void TearDown() override {
    g_DebugConsole = saved_;
    LoadSave_SetSaveArea("");
    fs::remove_all(area_);
    FontTest::TearDown();
  }

  CFontTW* Add(int size) { return Font_Get(Font_Add("face.ttf", size, false, false, 32, 127)); }

  int IndexOf(const CFontTW* f, uint16_t c) {
    for (int i = 0; i < f->GlyphCount(); ++i)
      if (f->GlyphAt(i).character == c && f->GlyphAt(i).width > 0) return i;
    return -1;
  }

  // The device's copy of the page.
  const std::vector<uint32_t>& Page(const CFontTW* f) {
    const std::vector<uint32_t>* px = device.TexturePixels(f->Cache().page->texture);
    EXPECT_NE(px, nullptr);
    static const std::vector<uint32_t> none;
    return px ? *px : none;
  }

  // The glyph's cell on the device page holds FreeType's rendering of it and
  // nothing else.
  void ExpectRendered(CFontTW* f, uint16_t c, Oracle& oracle) {
    const FontGlyph* g = f->FindGlyph(c);
    ASSERT_NE(g, nullptr);
    ASSERT_GE(g->x, 0);
    const Oracle::Bitmap want = oracle.Render(c);
    const std::vector<uint32_t>& page = Page(f);
    int wrong = 0;
    for (int y = 0; y < f->Cache().cellHeight; ++y)
      for (int x = 0; x < f->Cache().cellWidth; ++x) {
        const uint32_t got = page[size_t(g->y + y) * 512 + size_t(g->x + x)];
        const uint32_t expected = uint32_t(want.At(x + want.left, y)) << 24 | 0xFFFFFFu;
        wrong += got != expected;
      }
    EXPECT_EQ(wrong, 0) << "character " << c;
  }

  fs::path area_;
  LineConsole log_;
  tagIConsole* saved_ = nullptr;
};

TEST_F(FreeTypeFontTest, AFontFileGivesEveryCharacterItMaps) {
  Oracle oracle(12);
  const int index = Font_Add("face.ttf", 12, false, true, -5, 300);
  CFontTW* f = Font_Get(index);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->IsTrueType());
  EXPECT_EQ(Font_GetName(index), "__newfont" + std::to_string(index));
  EXPECT_EQ(f->GetName(), "face.ttf");
  EXPECT_EQ(f->GetFirst(), 0);
  EXPECT_EQ(f->GetLast(), 255);
  EXPECT_TRUE(f->GetItalic());
  EXPECT_EQ(f->GetAntialias(), 3);
  EXPECT_EQ(f->GlyphCount(), 1 + oracle.MappedCharacters()) << "a space first, then every 16-bit character";
  EXPECT_EQ(f->Tallest(), oracle.LineHeight());
  for (uint16_t c : {uint16_t('A'), uint16_t('g'), uint16_t(' '), uint16_t(0x0416)})
    EXPECT_EQ(f->GetAdvance(c), oracle.Advance(c)) << c;
  EXPECT_EQ(f->GetAdvance(0xFFFE), 0) << "a character the face lacks";
  const TextureEntry* page = Texture_GetEntry(f->GetTexture());
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->imageWidth, 512);
  EXPECT_EQ(page->imageHeight, 512);
  const GlyphCache& c = f->Cache();
  EXPECT_GE(c.cellHeight, oracle.LineHeight());
  EXPECT_EQ(c.cellCount, (508 / (c.cellHeight + 2)) * (508 / (c.cellWidth + 2)));
}

TEST_F(FreeTypeFontTest, AGlyphIsRenderedOnFirstUseAndOnlyItsCellIsSent) {
  Oracle oracle(12);
  CFontTW* f = Add(12);
  const int g = IndexOf(f, 'g');
  ASSERT_GE(g, 0);
  EXPECT_EQ(f->GlyphAt(g).x, -1) << "not on the page before it is used";
  device.ClearLog();
  f->FindGlyph('g');
  const GlyphCache& c = f->Cache();
  // The first glyph takes the last cell.
  EXPECT_EQ(f->GlyphAt(g).x, c.cells.back().x);
  EXPECT_EQ(f->GlyphAt(g).y, c.cells.back().y);
  ExpectRendered(f, 'g', oracle);
  // Its descender reaches below the line height; the cell and the quad hold it.
  const Oracle::Bitmap bitmap = oracle.Render('g');
  EXPECT_GT(bitmap.top + bitmap.rows, oracle.LineHeight());
  EXPECT_LE(bitmap.top + bitmap.rows, c.cellHeight);
  EXPECT_EQ(f->GlyphAt(g).height, bitmap.top + bitmap.rows);
  ASSERT_EQ(device.CountOf(gfx::RecordingDevice::Op::UpdateTexture), 1u);
  for (const auto& call : device.Calls())
    if (call.op == gfx::RecordingDevice::Op::UpdateTexture) {
      EXPECT_EQ(call.b, uint32_t(c.cellWidth));
      EXPECT_EQ(call.c, uint32_t(c.cellHeight));
    }
  f->FindGlyph('g');
  EXPECT_EQ(device.CountOf(gfx::RecordingDevice::Op::UpdateTexture), 1u) << "found again without rendering";
}

TEST_F(FreeTypeFontTest, CellsAreReusedOldestFirstAndEvictedGlyphsComeBack) {
  Oracle oracle(100);
  CFontTW* f = Add(100);
  const int cells = f->Cache().cellCount;
  ASSERT_GT(cells, 2);
  ASSERT_LT(cells, 60);
  std::vector<uint16_t> chars;
  for (int i = 0; i < cells + 2; ++i) chars.push_back(uint16_t('A' + i));
  for (uint16_t ch : chars) f->FindGlyph(ch);
  EXPECT_EQ(f->GlyphAt(IndexOf(f, chars[0])).x, -1) << "the oldest went first";
  EXPECT_EQ(f->GlyphAt(IndexOf(f, chars[1])).x, -1);
  EXPECT_GE(f->GlyphAt(IndexOf(f, chars[2])).x, 0);
  const GlyphCacheCell& first = f->Cache().cells.back();
  const FontGlyph& reused = f->GlyphAt(IndexOf(f, chars[size_t(cells)]));
  EXPECT_EQ(reused.x, first.x) << "in the first glyph's cell";
  EXPECT_EQ(reused.y, first.y);
  ExpectRendered(f, chars[size_t(cells) + 1], oracle);
  ExpectRendered(f, chars[0], oracle);  // rendered again, in the next oldest cell
  EXPECT_EQ(f->GlyphAt(IndexOf(f, chars[2])).x, -1);
}

TEST_F(FreeTypeFontTest, ABitmapReachingOutOfItsCellIsClippedToIt) {
  CFontTW* f = Add(12);
  // U+01D7 rises a pixel above the line's top at this size.
  const FontGlyph* g = f->FindGlyph(0x01D7);
  ASSERT_NE(g, nullptr);
  const GlyphCache& c = f->Cache();
  const std::vector<uint32_t>& kept = c.page->kept;
  int outside = 0, inside = 0;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      const bool in = x >= g->x && x < g->x + c.cellWidth && y >= g->y && y < g->y + c.cellHeight;
      const bool clear = kept[size_t(y) * 512 + size_t(x)] == 0x00FFFFFFu;
      (in ? inside : outside) += !clear;
    }
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
}

TEST_F(FreeTypeFontTest, WithoutCellsGlyphsMeasureButDrawNothing) {
  Oracle oracle(600);
  CFontTW* f = Add(600);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Cache().cellCount, 0) << "no cell fits the page";
  const FontGlyph* g = f->FindGlyph('A');
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->x, -1);
  EXPECT_EQ(f->GetAdvance('A'), oracle.Advance('A'));
  const auto text = Wide("AB");
  EXPECT_EQ(f->TextWidth(text.data()), oracle.Advance('A') + oracle.Advance('B'));
  f->Draw(0, 0, text.data(), 0xFFFFFFFFu, 1);
  f->DrawColour(0, 0, text.data(), 0, 0, 0, 0, 1);
  f->DrawTransformed(0, 0, text.data(), 1, 1, 30, 0xFFFFFFFFu, 1);
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(FreeTypeFontTest, AFileThatIsMissingOrNoFontLeavesAnEmptyFont) {
  struct Case {
    const char* file;
    const char* line;
  } cases[] = {
      {"nothing.ttf", "FreeType :: unable to find font file nothing.ttf\n"},
      {"junk.ttf", ":: Unable to open font file junk.ttf\n"},
      // Only the save area and the game's directory are read.
      {kFace, "FreeType :: unable to find font file /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\n"},
      {"../face.ttf", "FreeType :: unable to find font file ../face.ttf\n"},
  };
  for (const Case& c : cases) {
    log_.text.clear();
    CFontTW* f = Font_Get(Font_Add(c.file, 12, false, false, 32, 127));
    ASSERT_NE(f, nullptr) << c.file;
    EXPECT_NE(log_.text.find(c.line), std::string::npos) << c.file << ": " << log_.text;
    EXPECT_EQ(f->GlyphCount(), 0) << c.file;
    const auto text = Wide("AB");
    EXPECT_EQ(f->TextWidth(text.data()), 0) << c.file;
    EXPECT_EQ(f->TextHeight(text.data()), 0) << c.file;
    f->Draw(0, 0, text.data(), 0xFFFFFFFFu, 1);
    EXPECT_TRUE(Drawn().empty()) << c.file;
  }
}

TEST_F(FreeTypeFontTest, GlyphQuadsCoverTheirCellsExactly) {
  CFontTW* f = Add(12);
  const auto text = Wide("Ab");
  f->Draw(10, 20, text.data(), 0xFFFFFFFFu, 1);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  const FontGlyph* a = f->FindGlyph('A');
  const FontGlyph* b = f->FindGlyph('b');
  EXPECT_FLOAT_EQ(v[0].x, 10 + a->offset);
  EXPECT_FLOAT_EQ(v[0].y, 20);
  EXPECT_FLOAT_EQ(v[2].x, 10 + a->offset + a->width);
  EXPECT_FLOAT_EQ(v[2].y, 20 + a->height);
  EXPECT_FLOAT_EQ(v[0].u, a->x / 512.0f);
  EXPECT_FLOAT_EQ(v[2].v, (a->y + a->height) / 512.0f);
  EXPECT_FLOAT_EQ(v[6].x, 10 + a->advance + b->offset);
}

TEST_F(FreeTypeFontTest, ALineWithMoreGlyphsThanCellsIsDrawnBeforeItsCellsChange) {
  CFontTW* f = Add(100);
  const int cells = f->Cache().cellCount;
  std::vector<uint16_t> text;
  for (int i = 0; i < cells + 3; ++i) text.push_back(uint16_t('A' + i));
  text.push_back(0);
  device.ClearLog();
  f->Draw(0, 0, text.data(), 0xFFFFFFFFu, 1);
  VertexBatch_Flush();
  // The glyphs that fill the page are drawn before the first of them is
  // replaced; the rest follow.
  ASSERT_EQ(device.Draws().size(), 2u);
  EXPECT_EQ(device.Draws()[0].primitiveCount, 2 * cells);
  EXPECT_EQ(device.Draws()[1].primitiveCount, 2 * 3);
  size_t uploads = 0, firstDraw = 0, firstReuse = 0;
  for (size_t i = 0; i < device.Calls().size(); ++i) {
    const auto op = device.Calls()[i].op;
    if (op == gfx::RecordingDevice::Op::DrawPrimitive && !firstDraw) firstDraw = i;
    if (op == gfx::RecordingDevice::Op::UpdateTexture && ++uploads == size_t(cells) + 1) firstReuse = i;
  }
  EXPECT_LT(firstDraw, firstReuse);
}

}  // namespace
