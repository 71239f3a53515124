// Makes the built-in "debug" font: a 256 x 128 image of characters 32 to
// 136 in a monospace face (white, coverage in alpha) and one rectangle per
// character. The engine carries the output; run this only to remake it:
//
//   tw-fontgen /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
//              src/graphics/builtin_font_image.inc src/draw/builtin_font_glyphs.inc
//
// (one command line; the face comes from Debian's fonts-dejavu-core).
//
// With --game it makes a font for a data file instead: a PNG page of the
// characters FIRST to LAST of a proportional face and the tw-pack FONT block
// that names it (see game/art/README.md):
//
//   tw-fontgen --game FACE.ttf NAME POINTS FIRST LAST PAGE.png BLOCK.twp
//
// Characters 128 to 136 are drawn as the Windows-1252 code page shows them;
// 127 and 129, which it leaves undefined, as an empty box.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kPageWidth = 256, kPageHeight = 128;
constexpr int kFirst = 32, kLast = 136;
constexpr int kPixelSize = 12;
constexpr int kCellHeight = 15;  // the font's tallest glyph
constexpr int kGap = 2;          // transparent texels between glyphs: quads sample half a texel beyond

// What characters 128 to 136 show (Windows-1252); 0 for an empty box.
constexpr uint32_t kHigh[] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6};

struct Rect {
  int x, y, width, height;
};

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgba, int width, int height) {
  std::vector<uint8_t> bytes;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
  bytes.resize(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

bool WritePng(const char* path, const std::vector<uint8_t>& rgba) {
  const std::vector<uint8_t> bytes = EncodePng(rgba, kPageWidth, kPageHeight);
  if (bytes.empty()) return false;
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f, "// Made by tools/fontgen; do not edit. The built-in font's page as a PNG file.\n");
  for (size_t i = 0; i < bytes.size(); ++i) std::fprintf(f, "0x%02x,%s", bytes[i], i % 16 == 15 ? "\n" : "");
  std::fprintf(f, "\n");
  return std::fclose(f) == 0;
}

bool WriteRects(const char* path, const std::vector<Rect>& rects) {
  FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f, "// Made by tools/fontgen; do not edit. {x, y, width, height} of characters %d to %d.\n", kFirst,
               kLast);
  for (size_t i = 0; i < rects.size(); ++i)
    std::fprintf(f, "{%d, %d, %d, %d},%s", rects[i].x, rects[i].y, rects[i].width, rects[i].height,
                 i % 6 == 5 ? "\n" : " ");
  std::fprintf(f, "\n");
  return std::fclose(f) == 0;
}

// A proportional font for a data file: every glyph a cell of the line's
// height (the pen's top is the cell's top), white with coverage in alpha,
// and its FONT block with one GLYPH line per character.
int MakeGameFont(const char* facePath, const char* name, int points, int first, int last, const char* pngPath,
                 const char* blockPath) {
  // Points at the 96 dots per inch the window is laid out for.
  const int pixels = (points * 96 + 36) / 72;
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, facePath, 0, &face) ||
      FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels))) {
    std::fprintf(stderr, "cannot open %s\n", facePath);
    return 1;
  }
  const int ascender = int((face->size->metrics.ascender + 63) >> 6);
  const int lineHeight = int((face->size->metrics.height + 63) >> 6);
  constexpr int kWidth = 256;
  struct Placed {
    int character, x, y, width, advance, offset;
  };
  std::vector<Placed> placed;
  std::vector<std::vector<uint8_t>> cells;  // each glyph's coverage, width x lineHeight
  int x = kGap, y = kGap;
  for (int c = first; c <= last; ++c) {
    if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER)) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& b = g->bitmap;
    const int width = std::max(1, int(b.width));
    if (x + width + kGap > kWidth) {
      x = kGap;
      y += lineHeight + kGap;
    }
    std::vector<uint8_t> cell(size_t(width) * size_t(lineHeight), 0);
    const int top = ascender - g->bitmap_top;
    for (int r = 0; r < int(b.rows); ++r)
      for (int col = 0; col < int(b.width); ++col)
        if (top + r >= 0 && top + r < lineHeight) cell[size_t(top + r) * width + col] = b.buffer[r * b.pitch + col];
    placed.push_back({c, x, y, width, int((g->advance.x + 63) >> 6), g->bitmap_left});
    cells.push_back(std::move(cell));
    x += width + kGap;
  }
  int height = 1;
  while (height < y + lineHeight + kGap) height *= 2;
  std::vector<uint8_t> rgba(size_t(kWidth) * size_t(height) * 4, 0);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
  for (size_t i = 0; i < placed.size(); ++i)
    for (int r = 0; r < lineHeight; ++r)
      for (int col = 0; col < placed[i].width; ++col)
        rgba[(size_t(placed[i].y + r) * kWidth + size_t(placed[i].x + col)) * 4 + 3] =
            cells[i][size_t(r) * placed[i].width + col];
  const std::string family = face->family_name ? face->family_name : "";
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  const std::vector<uint8_t> png = EncodePng(rgba, kWidth, height);
  FILE* f = std::fopen(pngPath, "wb");
  if (png.empty() || !f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", pngPath);
    return 1;
  }
  std::string pageName = pngPath;
  if (const size_t slash = pageName.find_last_of('/'); slash != std::string::npos) pageName.erase(0, slash + 1);
  FILE* out = std::fopen(blockPath, "w");
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", blockPath);
    return 1;
  }
  std::fprintf(out, "# Made by tw-fontgen --game from %s; do not edit.\n", family.c_str());
  std::fprintf(out, "FONT \"%s\" face=\"%s\" size=%d first=%d last=%d png=\"%s\"\n", name, family.c_str(), points, first,
               last, pageName.c_str());
  for (const Placed& p : placed)
    std::fprintf(out, "  GLYPH %d x=%d y=%d width=%d height=%d advance=%d offset=%d\n", p.character, p.x, p.y, p.width,
                 lineHeight, p.advance, p.offset);
  std::fprintf(out, "END\n");
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 9 && std::string(argv[1]) == "--game") {
    return MakeGameFont(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), argv[7],
                        argv[8]);
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s FACE.ttf IMAGE.inc GLYPHS.inc\n       %s --game FACE.ttf NAME POINTS FIRST LAST PAGE.png BLOCK.twp\n", argv[0], argv[0]);
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face) ||
      FT_Set_Pixel_Sizes(face, 0, kPixelSize)) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const int baseline = int((face->size->metrics.ascender + 63) >> 6);
  if (FT_Load_Char(face, 'M', FT_LOAD_DEFAULT)) return 1;
  const int width = int((face->glyph->advance.x + 63) >> 6);

  std::vector<uint8_t> rgba(size_t(kPageWidth) * kPageHeight * 4, 0);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
  auto plot = [&](int x, int y, uint8_t alpha) {
    if (x >= 0 && y >= 0 && x < kPageWidth && y < kPageHeight) rgba[(size_t(y) * kPageWidth + x) * 4 + 3] = alpha;
  };

  std::vector<Rect> rects;
  int x = kGap, y = kGap;
  for (int c = kFirst; c <= kLast; ++c) {
    if (x + width + kGap > kPageWidth) {
      x = kGap;
      y += kCellHeight + kGap;
    }
    if (y + kCellHeight > kPageHeight) {
      std::fprintf(stderr, "the page is full at character %d\n", c);
      return 1;
    }
    rects.push_back({x, y, width, kCellHeight});
    const uint32_t shown = c < 127 ? uint32_t(c) : c == 127 ? 0 : kHigh[c - 128];
    if (shown == 0) {
      for (int i = 1; i < width - 1; ++i) {
        plot(x + i, y + 3, 255);
        plot(x + i, y + baseline - 1, 255);
      }
      for (int j = 3; j < baseline; ++j) {
        plot(x + 1, y + j, 255);
        plot(x + width - 2, y + j, 255);
      }
    } else if (!FT_Load_Char(face, shown, FT_LOAD_RENDER)) {
      const FT_Bitmap& b = face->glyph->bitmap;
      const int left = face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
      for (int r = 0; r < int(b.rows); ++r)
        for (int col = 0; col < int(b.width); ++col) {
          const int px = left + col, py = top + r;
          // Clipped to the glyph's own rectangle.
          if (px >= 0 && px < width && py >= 0 && py < kCellHeight) plot(x + px, y + py, b.buffer[r * b.pitch + col]);
        }
    }
    x += width + kGap;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (!WritePng(argv[2], rgba) || !WriteRects(argv[3], rects)) {
    std::fprintf(stderr, "cannot write the output\n");
    return 1;
  }
  return 0;
}
