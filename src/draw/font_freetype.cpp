// Fonts from font files: the face, its glyph table and the glyph page the
// glyphs are rendered into when first needed.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <limits>

#include "draw/font_freetype.h"
#include "draw/fonts.h"
#include "files/files.h"
#include "graphics/batching.h"
#include "script/console.h"

namespace {

FT_Library g_library = nullptr;

// 26.6 to whole pixels, rounded up.
int32_t Up(FT_Pos v) {
  const int64_t p = (int64_t(v) + 63) >> 6;
  return int32_t(std::clamp<int64_t>(p, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

constexpr uint32_t kClear = 0x00FFFFFFu;  // white, alpha 0

// The coverage of bitmap pixel (column, row) of a top-down bitmap row.
uint8_t Coverage(const FT_Bitmap& b, const unsigned char* row, unsigned column) {
  switch (b.pixel_mode) {
    case FT_PIXEL_MODE_GRAY:
      return row[column];
    case FT_PIXEL_MODE_MONO:
      return (row[column >> 3] >> (7 - (column & 7)) & 1) ? 255 : 0;
    case FT_PIXEL_MODE_BGRA:
      return row[column * 4 + 3];
    default:
      return 0;
  }
}

}  // namespace

void FontFreeType_Init() {
  if (g_library) return;
  if (const FT_Error e = FT_Init_FreeType(&g_library)) {
    g_library = nullptr;
    g_DebugConsole->Output("Error while initialising FreeType %d\n", int(e));
  }
}

void FontFreeType_Shutdown() {
  if (g_library) FT_Done_FreeType(g_library);
  g_library = nullptr;
}

FT_Library FontFreeType_Library() { return g_library; }

void FontFreeType_DoneFace(FT_Face face) {
  if (face) FT_Done_Face(face);
}

bool CFontTW::LoadTrueType() {
  std::optional<std::vector<uint8_t>> data = LoadSave_ReadGameFile(name_);
  if (!data) {
    g_DebugConsole->Output("FreeType :: unable to find font file %s\n", name_.c_str());
    return false;
  }
  FontFreeType_Init();
  if (!g_library) return false;
  fileData_ = std::move(*data);
  FT_Face face = nullptr;
  FT_Error e = FT_New_Memory_Face(g_library, fileData_.data(), FT_Long(fileData_.size()), 0, &face);
  if (e) {
    g_DebugConsole->Output("FreeType :: error = %08x(%d) :: Unable to open font file %s\n", unsigned(e), int(e),
                           name_.c_str());
    fileData_.clear();
    return false;
  }
  auto fail = [&](const char* what) {
    g_DebugConsole->Output("FreeType :: error = %08x(%d) :: %s\n", unsigned(e), int(e), what);
    FT_Done_Face(face);
    fileData_.clear();
    return false;
  };
  if ((e = FT_Set_Char_Size(face, 0, FT_F26Dot6(size_) * 64, 0, 0))) return fail("Unable to set font pixel size");
  if ((e = FT_Select_Charmap(face, FT_ENCODING_UNICODE))) return fail("Unable to select unicode font character map");
  cache_.face = face;

  const FT_Size_Metrics& m = face->size->metrics;
  size_t count = 0;
  FT_UInt index = 0;
  for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0; c = FT_Get_Next_Char(face, c, &index)) ++count;
  glyphs_.reserve(count + 1);

  // Entry 0: a space that is never placed on the page.
  FontGlyph space;
  space.character = ' ';
  if (!FT_Load_Glyph(face, FT_Get_Char_Index(face, ' '), FT_LOAD_DEFAULT))
    space.advance = int16_t(Up(face->glyph->metrics.horiAdvance));
  glyphs_.push_back(space);

  for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0; c = FT_Get_Next_Char(face, c, &index)) {
    // The glyph table holds 16-bit characters; the planes above cannot be
    // asked for.
    if (c > 0xFFFF) continue;
    FontGlyph g;
    g.character = uint16_t(c);
    g.x = g.y = -1;
    if (!FT_Load_Glyph(face, index, FT_LOAD_DEFAULT)) {
      const FT_Glyph_Metrics& gm = face->glyph->metrics;
      g.width = int16_t(Up(gm.width));
      g.height = int16_t(Up(gm.height - gm.horiBearingY + m.ascender));
      g.advance = int16_t(Up(gm.horiAdvance));
      g.offset = int16_t(Up(gm.horiBearingX));
    }
    glyphs_.push_back(g);
  }
  std::stable_sort(glyphs_.begin(), glyphs_.end(),
                   [](const FontGlyph& a, const FontGlyph& b) { return a.character < b.character; });
  InitGlyphPage();
  ownTexture_ = cache_.pageTexture;
  tallest_ = Up(m.height);
  s_ = 0.0f;
  return true;
}

void CFontTW::InitGlyphPage() {
  FreeGlyphPage();
  GlyphCache& c = cache_;
  const int page = GlyphCache::kPageSize, pad = GlyphCache::kPadding;
  c.pageTexture = Texture_CreateRenderTarget(page, page, false);
  c.page = Texture_GetD3D(c.pageTexture);
  if (c.page) {
    std::fill(c.page->kept.begin(), c.page->kept.end(), kClear);
    TextureD3D_UpdateRect(c.page, 0, 0, page, page);
  }
  // A cell holds the widest glyph and the one reaching furthest below the
  // line's top: cells of the line height alone would cut descenders off (or
  // let them run into the cells below).
  const FT_Size_Metrics& m = c.face->size->metrics;
  int32_t width = Up(m.max_advance), height = Up(m.height);
  for (const FontGlyph& g : glyphs_) {
    width = std::max<int32_t>(width, g.width);
    height = std::max<int32_t>(height, g.height);
  }
  c.cellWidth = std::max(width, 1);
  c.cellHeight = std::max(height, 1);
  const int across = (page - 2 * pad) / (c.cellWidth + pad), down = (page - 2 * pad) / (c.cellHeight + pad);
  // Without a page there is nowhere to render: no cells, glyphs stay off it.
  c.cellCount = c.page ? across * down : 0;
  c.cells.assign(size_t(c.cellCount), GlyphCacheCell{});
  int x = pad, y = pad;
  for (int i = 0; i < c.cellCount; ++i) {
    GlyphCacheCell& cell = c.cells[size_t(i)];
    cell.x = x;
    cell.y = y;
    cell.prev = i > 0 ? &c.cells[size_t(i) - 1] : nullptr;
    cell.next = i + 1 < c.cellCount ? &c.cells[size_t(i) + 1] : nullptr;
    x += c.cellWidth + pad;
    if (page - c.cellWidth < x) {
      x = pad;
      y += c.cellHeight + pad;
    }
  }
  c.head = c.cellCount ? &c.cells.front() : nullptr;
  c.tail = c.cellCount ? &c.cells.back() : nullptr;
}

void CFontTW::FreeGlyphPage() {
  GlyphCache& c = cache_;
  for (GlyphCacheCell& cell : c.cells)
    if (cell.glyph) cell.glyph->x = cell.glyph->y = -1;
  c.cells.clear();
  c.head = c.tail = nullptr;
  c.cellCount = 0;
  if (c.pageTexture >= 0) Texture_Free(c.pageTexture);
  if (ownTexture_ == c.pageTexture) ownTexture_ = -1;
  c.pageTexture = -1;
  c.page = nullptr;
}

const FontGlyph* CFontTW::LookupEvicts(uint16_t character) {
  const FontGlyph* g = LookUp(character);
  const bool renders = g && g->x == -1 && g->y == -1 && cache_.face && cache_.tail && cache_.page;
  return renders ? cache_.tail->glyph : nullptr;
}

void CFontTW::CacheGlyph(FontGlyph* glyph) {
  GlyphCache& c = cache_;
  if (!c.tail || !c.page) return;
  // The oldest cell becomes the newest.
  GlyphCacheCell* cell = c.tail;
  if (cell != c.head) {
    c.tail = cell->prev;
    c.tail->next = nullptr;
    cell->prev = nullptr;
    cell->next = c.head;
    c.head->prev = cell;
    c.head = cell;
  }
  if (cell->glyph) {
    // Quads still waiting in the batch may sample the old glyph.
    VertexBatch_Flush();
    cell->glyph->x = cell->glyph->y = -1;
  }
  cell->glyph = glyph;
  glyph->x = int16_t(cell->x);
  glyph->y = int16_t(cell->y);

  const int pageWidth = c.page->Width(), pageHeight = c.page->Height();
  // The cell clipped to the page, though the layout keeps it inside.
  const int x0 = std::max(cell->x, 0), y0 = std::max(cell->y, 0);
  const int x1 = std::min(cell->x + c.cellWidth, pageWidth), y1 = std::min(cell->y + c.cellHeight, pageHeight);
  uint32_t* kept = c.page->kept.data();
  for (int y = y0; y < y1; ++y) std::fill(kept + size_t(y) * pageWidth + x0, kept + size_t(y) * pageWidth + x1, kClear);

  FT_Face face = c.face;
  if (!FT_Load_Glyph(face, FT_Get_Char_Index(face, glyph->character), FT_LOAD_DEFAULT) &&
      !FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) {
    const FT_Bitmap& b = face->glyph->bitmap;
    const int top = Up(face->size->metrics.ascender - face->glyph->metrics.horiBearingY);
    // The pitch is negative for bitmaps stored bottom row first.
    const unsigned char* first = b.pitch < 0 ? b.buffer - ptrdiff_t(b.pitch) * (int(b.rows) - 1) : b.buffer;
    for (int r = 0; r < int(b.rows); ++r) {
      const int y = cell->y + top + r;
      if (y < y0 || y >= y1) continue;  // a bitmap taller than its cell is clipped to it
      const unsigned char* row = first + ptrdiff_t(b.pitch) * r;
      for (unsigned col = 0; col < b.width; ++col) {
        const int x = cell->x + int(col);
        if (x >= x1) break;  // and wider than its cell
        kept[size_t(y) * pageWidth + x] = uint32_t(Coverage(b, row, col)) << 24 | kClear;
      }
    }
  }
  TextureD3D_UpdateRect(c.page, x0, y0, x1 - x0, y1 - y0);
}
