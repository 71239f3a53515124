// FreeType's own rendering of characters, for end-to-end tests that compare
// the engine's text with it. Usage: tw-glyph-oracle FACE SIZE CODEPOINT...
// First "line" and the line height rounded up, then one line per character:
//   codepoint advance left top width rows coverage-hex
// with the advance rounded up to whole pixels, (left, top) where the bitmap
// lies from the pen and the line's top (the ascender above the baseline,
// rounded up), and the coverage bytes row by row.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FACE SIZE CODEPOINT...\n", argv[0]);
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face) ||
      FT_Set_Char_Size(face, 0, FT_F26Dot6(std::atoi(argv[2])) * 64, 0, 0) ||
      FT_Select_Charmap(face, FT_ENCODING_UNICODE)) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const long baseline = (face->size->metrics.ascender + 63) >> 6;
  std::printf("line %ld\n", (face->size->metrics.height + 63) >> 6);
  for (int i = 3; i < argc; ++i) {
    const unsigned long c = std::strtoul(argv[i], nullptr, 0);
    if (FT_Load_Char(face, c, FT_LOAD_RENDER)) return 1;
    const FT_GlyphSlot g = face->glyph;
    std::printf("%lu %ld %d %ld %u %u ", c, (g->advance.x + 63) >> 6, g->bitmap_left, baseline - g->bitmap_top,
                g->bitmap.width, g->bitmap.rows);
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
      for (unsigned x = 0; x < g->bitmap.width; ++x) std::printf("%02x", g->bitmap.buffer[r * g->bitmap.pitch + x]);
    std::printf("\n");
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return 0;
}
