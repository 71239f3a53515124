// Fonts: 16-bit characters to textured quads. A font comes from the data
// file's FONT chunk (glyphs packed on a texture page), from a font file read
// through FreeType (glyphs rendered on demand into a 512 x 512 glyph page),
// from a sprite (one frame a character) or is the built-in "debug" font.
// Laying text out into lines is text.h; this draws and measures one line.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/game_data.h"
#include "graphics/textures.h"

typedef struct FT_FaceRec_* FT_Face;

struct FontKerning {
  uint16_t other = 0;
  int16_t amount = 0;
};

// A sprite font keeps the frame number in width and the sprite height in
// height. x and y are -1 while a FreeType glyph is not on the glyph page.
struct FontGlyph {
  uint16_t character = 0;
  int16_t x = 0, y = 0;
  int16_t width = 0, height = 0;
  int16_t advance = 0;  // pixels to the next character
  int16_t offset = 0;   // horizontal shift of the image from the pen
  std::vector<FontKerning> kerning;  // kept; nothing applies them
};

struct GlyphCacheCell {
  GlyphCacheCell* next = nullptr;
  GlyphCacheCell* prev = nullptr;
  FontGlyph* glyph = nullptr;
  int32_t x = 0, y = 0;
};

// The glyph page of a FreeType font: cells reused oldest first.
struct GlyphCache {
  static constexpr int kPageSize = 512;
  static constexpr int kPadding = 2;
  GlyphCacheCell* head = nullptr;
  GlyphCacheCell* tail = nullptr;
  TextureD3D* page = nullptr;
  int32_t pageTexture = -1;
  int32_t cellCount = 0;
  FT_Face face = nullptr;
  int32_t cellWidth = 0, cellHeight = 0;
  int32_t pageWidth = kPageSize, pageHeight = kPageSize;
  int32_t paddingX = kPadding, paddingY = kPadding;
  // The cells the list links; made once per page and never resized.
  std::vector<GlyphCacheCell> cells;
};

// One rectangle of the built-in font's page.
struct BuiltinGlyphRect {
  uint8_t x, y, width, height;
};

class CFontTW {
 public:
  CFontTW();
  // The built-in font: one rectangle per character first..last on a page
  // held as a texture-table index.
  CFontTW(const BuiltinGlyphRect* rects, int32_t first, int32_t last, int32_t texture);
  // From a font file (save area first, then the game's directory).
  CFontTW(std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
  // From a sprite: characters is UTF-8, one character a frame. Nothing is
  // made when the sprite does not exist.
  CFontTW(int32_t sprite, std::string_view characters, bool proportional, int32_t separation);
  // The same with 16-bit characters; a 0 keeps its frame unused.
  CFontTW(int32_t sprite, const std::vector<uint16_t>& characters, bool proportional, int32_t separation);
  virtual ~CFontTW();
  CFontTW(const CFontTW&) = delete;
  CFontTW& operator=(const CFontTW&) = delete;

  void Clear();
  // A FONT record at this container offset; DataError when any part of it
  // (record, glyphs, page entry, strings) lies outside the chunk body or the
  // container. The glyphs are copied out.
  void LoadFromChunk(const ChunkBody& body, uint32_t record);

  const std::string& GetName() const { return name_; }
  int32_t GetSize() const { return size_; }
  bool GetBold() const { return bold_; }
  bool GetItalic() const { return italic_; }
  int32_t GetFirst() const { return first_; }
  int32_t GetLast() const { return last_; }
  int32_t GetSprite() const { return sprite_; }
  int32_t GetCharset() const { return charset_; }
  int32_t GetAntialias() const { return antialias_; }
  // The page entry's texture slot when there is one, else the own texture.
  int32_t GetTexture() const;
  // The page entry the glyphs lie on, or null (FreeType and sprite fonts).
  TexturePageEntry* GetPageEntry() const;
  int32_t TextureWidth() const { return textureWidth_; }
  int32_t TextureHeight() const { return textureHeight_; }

  void InitTexture();
  void FreeTexture();

  // Renders a FreeType glyph onto the glyph page when it is not there.
  FontGlyph* FindGlyph(uint16_t character);
  int32_t GetAdvance(uint16_t character);
  // Sum of the advances, unscaled; unknown characters add 0.
  int32_t TextWidth(const uint16_t* text);
  int32_t TextHeight(const uint16_t* text) const { return tallest_; }
  int32_t GlyphCount() const { return int32_t(glyphs_.size()); }
  const FontGlyph& GlyphAt(int32_t i) const { return glyphs_[size_t(i)]; }

  // One zero-terminated line. colour is 0xAABBGGRR; c1..c4 are script
  // colours of the line's top-left, top-right, bottom-right, bottom-left.
  void Draw(float x, float y, const uint16_t* text, uint32_t colour, float alpha);
  void DrawTransformed(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                       uint32_t colour, float alpha);
  void DrawColour(float x, float y, const uint16_t* text, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                  float alpha);
  void DrawTransformedColour(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                             uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha);

  // For tests and the resource built-ins.
  const GlyphCache& Cache() const { return cache_; }
  float XScale() const { return xScale_; }
  float YScale() const { return yScale_; }
  int32_t Tallest() const { return tallest_; }
  bool IsTrueType() const { return cache_.face != nullptr; }

 private:
  struct Pen;
  bool LoadTrueType();
  void InitGlyphPage();
  void CacheGlyph(FontGlyph* glyph);
  void FreeGlyphPage();
  // The glyph without rendering it.
  FontGlyph* LookUp(uint16_t character);
  // The glyph that looking this character up would take off the page.
  const FontGlyph* LookupEvicts(uint16_t character);
  // The quads of a line for the page and FreeType fonts (plain and
  // transformed forms); false when the font has no page to draw from.
  bool DrawQuads(Pen& pen, const uint16_t* text, uint32_t deviceColour);
  void DrawSpriteLine(Pen& pen, const uint16_t* text, uint32_t colour, float alpha);
  void DrawColourLine(Pen& pen, const uint16_t* text, const uint32_t corners[4], float alpha);

  std::string name_;
  int32_t size_ = 12;
  bool bold_ = false, italic_ = false;
  int32_t charset_ = 0, antialias_ = 0;
  int32_t first_ = 32, last_ = 128;
  int32_t sprite_ = -1;
  int32_t textureWidth_ = 0, textureHeight_ = 0;
  int32_t tallest_ = 0;
  std::vector<uint8_t> alphaMap_;
  int32_t ownTexture_ = -1;
  // A chunk font's page entry: the container offset of its record, looked up
  // in the page-entry table when drawn (that table is loaded after the
  // fonts and may be rebuilt). The built-in font has an entry of its own.
  uint32_t entryOffset_ = 0;
  mutable int32_t entryIndex_ = -1;
  mutable uint32_t entryGeneration_ = 0;
  bool hasOwnEntry_ = false;
  mutable TexturePageEntry ownEntry_{};
  // Sorted by character. Pointers into it stay valid: it is never resized
  // once built.
  std::vector<FontGlyph> glyphs_;
  float xScale_ = 1.0f, yScale_ = 1.0f;
  float s_ = 0.5f;  // quad adjustment
  std::vector<uint8_t> fileData_;
  GlyphCache cache_;
};

// ---- The font table --------------------------------------------------------------

void Font_Init();
// The FONT chunk; DataError when it is damaged.
bool Font_Load(const ChunkBody& body);
bool Font_Exists(int32_t index);
CFontTW* Font_Get(int32_t index);
// "<undefined>" for an index that names no font.
std::string Font_GetName(int32_t index);
// The first font of exactly this name, or -1.
int32_t Font_Find(std::string_view name);
int32_t Font_Count();
int32_t Font_Add(std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
// The sprite must exist.
int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation);
int32_t Font_AddSpriteExt(int32_t sprite, std::string_view characters, bool proportional, int32_t separation);
bool Font_Replace(int32_t index, std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first,
                  int32_t last);
bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation);
bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, std::string_view characters, bool proportional,
                           int32_t separation);
bool Font_Delete(int32_t index);
void Font_InitTextures();
void Font_FreeTextures();
void Font_Shutdown();
// The FONT chunk's 256-entry character table (Windows-1252 to Unicode when
// there is no chunk).
uint16_t Font_TableCharacter(int32_t position);

// The font family of the resource group ("Resource..", after the sprites').
void Font_RegisterResourceFunctions();

// The built-in font, made on first need and kept to the end.
void Text_CreateDefaultFont();
void Text_FreeDefaultFont();
CFontTW* Text_DefaultFont();
