// Image chunks for containers: texture-page entries (TPAG), texture pages
// (TXTR), sprites (SPRT), backgrounds (BGND) and fonts (FONT).
//
//   TPAG: counted list of offsets to 22-byte entries, eleven u16 {x, y,
//     width, height on the page, x offset, y offset in the untrimmed image,
//     drawn width, drawn height, untrimmed width, untrimmed height, page}.
//   TXTR: counted list of offsets to {u32 flags, u32 offset of a PNG file};
//     the PNG files follow in the same body.
//   SPRT record: name, width, height, bbox left, right, bottom, top,
//     transparent, smooth, preload, bbox mode, precise, x origin, y origin,
//     frame count N, N entry offsets, mask count M, M masks of height rows of
//     (width + 7) / 8 bytes, bit 7 of a row's first byte being pixel 0.
//   BGND record: name, transparent, smooth, preload, entry offset.
//   FONT: counted list of record offsets, the records and their glyphs, and
//     as the body's last 512 bytes a table of 256 u16 characters. Record:
//     name, face name, size, bold, italic, first (bits 0-15 the first
//     character, 16-23 the charset, 24-31 antialias + 1 or 0 for none),
//     last, entry offset, x scale, y scale (floats), glyph count N, N glyph
//     offsets. Glyph: u16 character, i16 x, y (on the entry), width, height,
//     advance, offset, u16 kerning count K, K pairs {u16 character, i16
//     amount}.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack.h"

namespace twpack {

struct PageEntry {
  uint16_t x = 0, y = 0, width = 0, height = 0;
  uint16_t x_offset = 0, y_offset = 0;
  uint16_t crop_width = 0, crop_height = 0;
  uint16_t original_width = 0, original_height = 0;
  uint16_t page = 0;
};

struct TexturePage {
  uint32_t flags = 0;
  std::vector<uint8_t> image;  // a PNG file (or any bytes, for bad-input fixtures)
};

struct Sprite {
  std::string name;
  int32_t width = 1, height = 1;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t transparent = 1, smooth = 0, preload = 1, mode = 0, precise = 0;
  int32_t x_origin = 0, y_origin = 0;
  std::vector<int32_t> frames;  // page-entry indices; -1 writes offset 0
  std::vector<std::vector<uint8_t>> masks;  // packed rows, as stored
  std::optional<uint32_t> frame_count_override, mask_count_override;  // bad-input fixtures
};

struct Background {
  std::string name;
  int32_t transparent = 0, smooth = 0, preload = 1;
  int32_t entry = -1;  // page-entry index; -1 writes offset 0
};

struct GlyphKerning {
  uint16_t other = 0;
  int16_t amount = 0;
};

struct Glyph {
  uint16_t character = 0;
  int16_t x = 0, y = 0, width = 0, height = 0;
  int16_t advance = 0, offset = 0;
  std::vector<GlyphKerning> kerning;
};

struct Font {
  std::string name, face;
  uint32_t size = 12, bold = 0, italic = 0;
  uint16_t first = 32;
  uint8_t charset = 0;
  std::optional<uint8_t> antialias;  // stored plus one; none stores 0
  uint32_t last = 127;
  float x_scale = 1, y_scale = 1;
  // The page entry the glyphs lie on (-1 writes offset 0), or a page of the
  // font's own: Finish adds it after every other page, with an entry that
  // covers it whole.
  int32_t entry = -1;
  std::optional<TexturePage> page;
  uint16_t page_width = 0, page_height = 0;
  std::vector<Glyph> glyphs;  // written in this order
  std::optional<uint32_t> glyph_count_override;  // bad-input fixtures
};

// Windows-1252 to Unicode; the five positions the code page leaves
// undefined map to themselves.
std::array<uint16_t, 256> Windows1252Table();

// Places the glyphs in a row on a page of the font's own, glyph i a solid
// rectangle of fills[i] (0xRRGGBBAA), with a transparent gap around each so
// that no glyph's edge samples its neighbour.
void PackSolidGlyphs(Font& font, const std::vector<uint32_t>& fills);

// A PNG file of RGBA bytes (rows top first), written by the engine's encoder.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgba, int width, int height);
// Mask bits of a width x height grid of 0/1 cells, packed as stored.
std::vector<uint8_t> PackMask(const std::vector<uint8_t>& cells, int width, int height);

// The four chunks, each placed where Place* was first called and written
// by Finish. Sprites and backgrounds name entries by index.
class ImageSet {
 public:
  explicit ImageSet(Writer& w) : w_(w) {}
  void PlaceEntries() { if (!tpag_) tpag_ = &w_.AddChunk("TPAG"); }
  void PlacePages() { if (!txtr_) txtr_ = &w_.AddChunk("TXTR"); }
  void PlaceSprites() { if (!sprt_) sprt_ = &w_.AddChunk("SPRT"); }
  void PlaceBackgrounds() { if (!bgnd_) bgnd_ = &w_.AddChunk("BGND"); }
  void PlaceFonts() { if (!font_) font_ = &w_.AddChunk("FONT"); }

  std::vector<PageEntry> entries;
  std::vector<std::optional<TexturePage>> pages;
  std::vector<std::optional<Sprite>> sprites;
  std::vector<std::optional<Background>> backgrounds;
  std::vector<std::optional<Font>> fonts;
  std::array<uint16_t, 256> font_characters = Windows1252Table();

  // Throws PackError for a frame or entry index that names no entry.
  void Finish();

 private:
  Writer& w_;
  ChunkBuilder* tpag_ = nullptr;
  ChunkBuilder* txtr_ = nullptr;
  ChunkBuilder* sprt_ = nullptr;
  ChunkBuilder* bgnd_ = nullptr;
  ChunkBuilder* font_ = nullptr;
};

}  // namespace twpack

namespace twpack {

// One word of a description line, as the description reader splits it.
struct DescriptionWord {
  std::string key;
  bool has_key = false;
  std::string value;
  bool quoted = false;
};

// The image directives of the text description (see pack.h): ENTRY, PAGE,
// SPRITE, BGND, FONTTABLE and FONT blocks. Files are read relative to
// `base_dir`.
class ImageReader {
 public:
  ImageReader(ImageSet& set, std::string base_dir) : set_(set), base_dir_(std::move(base_dir)) {}
  void SetBaseDir(std::string base_dir) { base_dir_ = std::move(base_dir); }
  // False when `name` is none of the directives.
  bool Directive(const std::string& name, const std::vector<DescriptionWord>& args);
  // Inside a FONT block every line goes to BlockLine, up to its END.
  bool InBlock() const { return font_ != nullptr; }
  void BlockLine(const std::vector<DescriptionWord>& words);

 private:
  void EndFont();
  ImageSet& set_;
  std::string base_dir_;
  Font* font_ = nullptr;
  std::vector<std::optional<uint32_t>> fills_;  // of the open font's glyphs
};

}  // namespace twpack
