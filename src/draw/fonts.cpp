#include "draw/fonts.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "draw/font_freetype.h"
#include "script/value.h"
#include "sprites/sprites.h"

namespace {

// The built-in font's rectangles on built-in image 15, characters 32 to 136.
constexpr BuiltinGlyphRect kBuiltinGlyphs[] = {
#include "draw/builtin_font_glyphs.inc"
};
constexpr int32_t kBuiltinFirst = 32, kBuiltinLast = 136;
static_assert(std::size(kBuiltinGlyphs) == kBuiltinLast - kBuiltinFirst + 1);
constexpr int kBuiltinImage = 15;
constexpr int kBuiltinPageWidth = 256, kBuiltinPageHeight = 128;

// Windows-1252 as Unicode, the five undefined positions mapping to
// themselves: the character table when the data file brings none.
constexpr uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct FontTable {
  std::vector<std::unique_ptr<CFontTW>> fonts;
  std::vector<std::optional<std::string>> names;
  std::optional<std::vector<uint16_t>> characters;  // the FONT chunk's table
};
FontTable g_fonts;
std::unique_ptr<CFontTW> g_defaultFont;

std::vector<uint16_t> Utf8Characters(std::string_view utf8) {
  const std::string text(utf8);
  std::vector<uint16_t> chars;
  for (const char* p = text.c_str(); *p;) chars.push_back(uint16_t(UTF8_DecodeChar(&p)));
  return chars;
}

// Reads of one FONT record and its glyphs, each checked against the chunk
// body; a failure names the record.
class RecordReader {
 public:
  RecordReader(const ChunkBody& body, uint32_t record) : body_(body), record_(record) {}

  uint32_t U32(uint32_t at) const {
    Need(at, 4);
    return body_.File().U32(at);
  }
  uint16_t U16(uint32_t at) const {
    Need(at, 2);
    return body_.File().U16(at);
  }
  float F32(uint32_t at) const {
    const uint32_t bits = U32(at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  void Need(uint64_t at, uint64_t size) const {
    const uint64_t start = body_.Start(), end = start + body_.Length();
    if (at < start || at + size > end)
      Fail("bytes " + GameData_Hex(uint32_t(std::min<uint64_t>(at, UINT32_MAX))) + " to " +
           GameData_Hex(uint32_t(std::min<uint64_t>(at + size, UINT32_MAX))) + " lie outside the chunk");
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw DataError("FONT record at " + GameData_Hex(record_) + ": " + what);
  }

 private:
  const ChunkBody& body_;
  uint32_t record_;
};

}  // namespace

// ---- CFontTW ------------------------------------------------------------------

CFontTW::CFontTW() { Clear(); }

CFontTW::CFontTW(const BuiltinGlyphRect* rects, int32_t first, int32_t last, int32_t texture) {
  Clear();
  name_ = "debug";
  size_ = 10;
  first_ = first;
  last_ = last;
  hasOwnEntry_ = true;
  ownEntry_.width = ownEntry_.cropWidth = ownEntry_.originalWidth = kBuiltinPageWidth;
  ownEntry_.height = ownEntry_.cropHeight = ownEntry_.originalHeight = kBuiltinPageHeight;
  ownEntry_.texture = texture;
  textureWidth_ = kBuiltinPageWidth;
  textureHeight_ = kBuiltinPageHeight;
  for (int32_t c = first; c <= last; ++c) {
    const BuiltinGlyphRect& r = rects[c - first];
    FontGlyph g;
    g.character = uint16_t(c);
    g.x = r.x;
    g.y = r.y;
    g.width = r.width;
    g.height = r.height;
    g.advance = r.width;
    glyphs_.push_back(std::move(g));
    tallest_ = std::max<int32_t>(tallest_, r.height);
  }
}

CFontTW::CFontTW(std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last) {
  Clear();
  name_ = fileName;
  size_ = size;
  bold_ = bold;
  italic_ = italic;
  first_ = std::max(first, 0);
  last_ = std::min(last, 255);
  charset_ = 0;
  antialias_ = 3;
  LoadTrueType();
  if (ownTexture_ < 0) InitTexture();
}

CFontTW::CFontTW(int32_t sprite, std::string_view characters, bool proportional, int32_t separation)
    : CFontTW(sprite, Utf8Characters(characters), proportional, separation) {}

CFontTW::CFontTW(int32_t sprite, const std::vector<uint16_t>& characters, bool proportional, int32_t separation) {
  Clear();
  CSprite* s = Sprite_Get(sprite);
  if (!s) return;
  sprite_ = sprite;
  // Character j is frame j; a 0 holds a frame's place and makes no glyph.
  std::vector<uint16_t> chars(characters.begin(),
                              characters.begin() + std::min<ptrdiff_t>(ptrdiff_t(characters.size()),
                                                                       std::max(s->frameCount, 0)));
  const bool hasSpace = std::find(chars.begin(), chars.end(), uint16_t(' ')) != chars.end();
  if (!hasSpace) chars.push_back(' ');
  int16_t widest = 0;
  for (size_t j = 0; j < chars.size(); ++j) {
    if (chars[j] == 0) continue;
    FontGlyph g;
    g.character = chars[j];
    g.width = int16_t(j);  // the frame
    g.height = int16_t(s->height);
    int32_t left = 0, right = s->width;
    if (proportional && int(j) < s->frameCount) {
      const SpriteRect r = s->GetFrameRect(int(j));
      left = r.left;
      right = r.right;
    }
    g.advance = int16_t(separation + right - left);
    g.offset = int16_t(-left);
    if (g.character != ' ') widest = std::max(widest, g.advance);
    glyphs_.push_back(std::move(g));
  }
  if (!hasSpace) glyphs_.back().advance = widest;
  std::stable_sort(glyphs_.begin(), glyphs_.end(),
                   [](const FontGlyph& a, const FontGlyph& b) { return a.character < b.character; });
  tallest_ = s->height;
  first_ = glyphs_.front().character;
  last_ = first_ + int32_t(glyphs_.size());
}

CFontTW::~CFontTW() {
  Clear();
  FreeGlyphPage();
}

void CFontTW::Clear() {
  // The face reads the file data: it goes first.
  FontFreeType_DoneFace(cache_.face);
  cache_.face = nullptr;
  name_.clear();
  fileData_.clear();
  FreeTexture();
  FreeGlyphPage();
  alphaMap_.clear();
  glyphs_.clear();
  xScale_ = yScale_ = 1.0f;
  size_ = 12;
  bold_ = italic_ = false;
  first_ = 32;
  last_ = 128;
  s_ = 0.5f;
  sprite_ = -1;
  tallest_ = 0;
  textureWidth_ = textureHeight_ = 0;
  entryOffset_ = 0;
  entryIndex_ = -1;
  hasOwnEntry_ = false;
}

void CFontTW::LoadFromChunk(const ChunkBody& body, uint32_t record) {
  Clear();
  const RecordReader r(body, record);
  const GameDataFile& f = body.File();
  r.Need(record, 44);
  std::string face;
  try {
    face = std::string(f.String(r.U32(record + 4)));
  } catch (const DataError& e) {
    r.Fail(std::string("its face name: ") + e.what());
  }
  size_ = int32_t(r.U32(record + 8));
  bold_ = r.U32(record + 12) != 0;
  italic_ = r.U32(record + 16) != 0;
  const uint32_t first = r.U32(record + 20);
  first_ = int32_t(first & 0xFFFF);
  if (const uint32_t charset = first >> 16 & 0xFF) charset_ = int32_t(charset);
  if (const uint32_t aa = first >> 24) antialias_ = int32_t(aa) - 1;
  last_ = int32_t(r.U32(record + 24));
  entryOffset_ = r.U32(record + 28);
  if (entryOffset_ != 0) {
    // The entry itself lies in TPAG; its page size is the font's texture size.
    try {
      f.Bytes(entryOffset_, kTexturePageEntrySize);
    } catch (const DataError& e) {
      r.Fail(std::string("its page entry: ") + e.what());
    }
    textureWidth_ = f.U16(entryOffset_ + 4);
    textureHeight_ = f.U16(entryOffset_ + 6);
  }
  xScale_ = r.F32(record + 32);
  yScale_ = r.F32(record + 36);
  const uint32_t count = r.U32(record + 40);
  r.Need(uint64_t(record) + 44, uint64_t(count) * 4);
  glyphs_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = r.U32(record + 44 + 4 * i);
    if (at == 0) r.Fail("glyph " + std::to_string(i) + " has no record");
    r.Need(at, 16);
    FontGlyph g;
    g.character = r.U16(at);
    g.x = int16_t(r.U16(at + 2));
    g.y = int16_t(r.U16(at + 4));
    g.width = int16_t(r.U16(at + 6));
    g.height = int16_t(r.U16(at + 8));
    g.advance = int16_t(r.U16(at + 10));
    g.offset = int16_t(r.U16(at + 12));
    const uint16_t pairs = r.U16(at + 14);
    r.Need(uint64_t(at) + 16, uint64_t(pairs) * 4);
    g.kerning.resize(pairs);
    for (uint16_t k = 0; k < pairs; ++k)
      g.kerning[k] = {r.U16(at + 16 + 4u * k), int16_t(r.U16(at + 18 + 4u * k))};
    tallest_ = std::max<int32_t>(tallest_, g.height);
    glyphs_.push_back(std::move(g));
  }
  // Looked up by binary search, so the order must hold whatever the file says.
  std::stable_sort(glyphs_.begin(), glyphs_.end(),
                   [](const FontGlyph& a, const FontGlyph& b) { return a.character < b.character; });
  name_ = std::move(face);
}

TexturePageEntry* CFontTW::GetPageEntry() const {
  if (hasOwnEntry_) return &ownEntry_;
  if (entryOffset_ == 0) return nullptr;
  if (entryGeneration_ != TPage_Generation()) {
    entryIndex_ = TPage_FindByOffset(entryOffset_);
    entryGeneration_ = TPage_Generation();
  }
  return TPage_Get(entryIndex_);
}

int32_t CFontTW::GetTexture() const {
  if (hasOwnEntry_ || entryOffset_ != 0) {
    const TexturePageEntry* e = GetPageEntry();
    return e ? e->texture : -1;
  }
  return ownTexture_;
}

void CFontTW::InitTexture() {
  FreeTexture();
  if (sprite_ < 0 && !name_.empty()) {
    if (alphaMap_.size() < size_t(std::max(textureWidth_, 0)) * size_t(std::max(textureHeight_, 0)))
      alphaMap_.assign(size_t(textureWidth_) * size_t(textureHeight_), 0);
    ownTexture_ = Texture_CreateFromAlpha(textureWidth_, textureHeight_, alphaMap_.data());
  }
}

void CFontTW::FreeTexture() {
  // A FreeType font's texture is its glyph page: the page goes with it, and
  // its glyphs then measure but no longer draw.
  if (ownTexture_ >= 0 && ownTexture_ == cache_.pageTexture) {
    FreeGlyphPage();
  } else {
    Texture_Free(ownTexture_);
  }
  ownTexture_ = -1;
}

FontGlyph* CFontTW::LookUp(uint16_t character) {
  auto it = std::lower_bound(glyphs_.begin(), glyphs_.end(), character,
                             [](const FontGlyph& g, uint16_t c) { return g.character < c; });
  return it != glyphs_.end() && it->character == character ? &*it : nullptr;
}

FontGlyph* CFontTW::FindGlyph(uint16_t character) {
  FontGlyph* g = LookUp(character);
  if (g && g->x == -1 && g->y == -1 && cache_.face) CacheGlyph(g);
  return g;
}

int32_t CFontTW::GetAdvance(uint16_t character) {
  const FontGlyph* g = FindGlyph(character);
  return g ? g->advance : 0;
}

int32_t CFontTW::TextWidth(const uint16_t* text) {
  int32_t w = 0;
  if (text)
    for (; *text; ++text) w += GetAdvance(*text);
  return w;
}

// ---- The font table ---------------------------------------------------------------

void Font_Init() {
  FontFreeType_Init();
  g_fonts = FontTable{};
}

bool Font_Load(const ChunkBody& body) {
  g_fonts = FontTable{};
  const std::vector<uint32_t> records = body.OffsetList();
  if (body.Length() >= 4 + 4 * uint64_t(records.size()) + 512) {
    std::vector<uint16_t> table(256);
    const uint32_t at = body.Start() + body.Length() - 512;
    for (uint32_t i = 0; i < 256; ++i) table[i] = body.File().U16(at + 2 * i);
    g_fonts.characters = std::move(table);
  }
  g_fonts.fonts.resize(records.size());
  g_fonts.names.resize(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i] == 0) continue;
    auto font = std::make_unique<CFontTW>();
    try {
      font->LoadFromChunk(body, records[i]);
      g_fonts.names[i] = std::string(body.File().String(body.File().U32(records[i])));
    } catch (const DataError& e) {
      g_fonts = FontTable{};
      throw DataError("FONT font " + std::to_string(i) + ": " + e.what());
    }
    g_fonts.fonts[i] = std::move(font);
  }
  return true;
}

bool Font_Exists(int32_t index) { return index >= 0 && size_t(index) < g_fonts.fonts.size() && g_fonts.fonts[size_t(index)]; }

CFontTW* Font_Get(int32_t index) { return Font_Exists(index) ? g_fonts.fonts[size_t(index)].get() : nullptr; }

std::string Font_GetName(int32_t index) {
  if (!Font_Exists(index) || !g_fonts.names[size_t(index)]) return "<undefined>";
  return *g_fonts.names[size_t(index)];
}

int32_t Font_Find(std::string_view name) {
  for (size_t i = 0; i < g_fonts.fonts.size(); ++i)
    if (g_fonts.fonts[i] && g_fonts.names[i] && *g_fonts.names[i] == name) return int32_t(i);
  return -1;
}

int32_t Font_Count() { return int32_t(g_fonts.fonts.size()); }

namespace {

int32_t Append(std::unique_ptr<CFontTW> font) {
  const int32_t index = int32_t(g_fonts.fonts.size());
  g_fonts.fonts.push_back(std::move(font));
  g_fonts.names.emplace_back("__newfont" + std::to_string(index));
  return index;
}

bool Replace(int32_t index, std::unique_ptr<CFontTW> font) {
  g_fonts.fonts[size_t(index)] = std::move(font);
  return true;
}

bool InRange(int32_t index) { return index >= 0 && size_t(index) < g_fonts.fonts.size(); }

int32_t FrameCount(int32_t sprite) {
  const CSprite* s = Sprite_Get(sprite);
  return s ? s->frameCount : 0;
}

// Frame i shows the character table's entry first + i.
std::vector<uint16_t> TableCharacters(int32_t sprite, int32_t first) {
  std::vector<uint16_t> chars;
  for (int32_t i = 0; i < FrameCount(sprite); ++i) chars.push_back(Font_TableCharacter(int32_t(int64_t(first) + i)));
  return chars;
}

// Frame i shows character first + i; 0 where that is no 16-bit character.
std::vector<uint16_t> SequentialCharacters(int32_t sprite, int32_t first) {
  std::vector<uint16_t> chars;
  for (int32_t i = 0; i < FrameCount(sprite); ++i) {
    const int64_t c = int64_t(first) + i;
    chars.push_back(c > 0 && c <= 0xFFFF ? uint16_t(c) : 0);
  }
  return chars;
}

}  // namespace

int32_t Font_Add(std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first, int32_t last) {
  return Append(std::make_unique<CFontTW>(fileName, size, bold, italic, first, last));
}

int32_t Font_AddSprite(int32_t sprite, int32_t first, bool proportional, int32_t separation) {
  return Append(std::make_unique<CFontTW>(sprite, TableCharacters(sprite, first), proportional, separation));
}

int32_t Font_AddSpriteExt(int32_t sprite, std::string_view characters, bool proportional, int32_t separation) {
  return Append(std::make_unique<CFontTW>(sprite, characters, proportional, separation));
}

bool Font_Replace(int32_t index, std::string_view fileName, int32_t size, bool bold, bool italic, int32_t first,
                  int32_t last) {
  if (!InRange(index)) return false;
  return Replace(index, std::make_unique<CFontTW>(fileName, size, bold, italic, first, last));
}

bool Font_ReplaceSprite(int32_t index, int32_t sprite, int32_t first, bool proportional, int32_t separation) {
  if (!InRange(index)) return false;
  return Replace(index, std::make_unique<CFontTW>(sprite, SequentialCharacters(sprite, first), proportional, separation));
}

bool Font_ReplaceSpriteExt(int32_t index, int32_t sprite, std::string_view characters, bool proportional,
                           int32_t separation) {
  if (!InRange(index)) return false;
  return Replace(index, std::make_unique<CFontTW>(sprite, characters, proportional, separation));
}

bool Font_Delete(int32_t index) {
  if (!Font_Exists(index)) return false;
  g_fonts.fonts[size_t(index)].reset();
  g_fonts.names[size_t(index)].reset();
  return true;
}

void Font_InitTextures() {
  for (auto& f : g_fonts.fonts)
    if (f) f->InitTexture();
}

void Font_FreeTextures() {
  for (auto& f : g_fonts.fonts)
    if (f) f->FreeTexture();
}

void Font_Shutdown() {
  Font_FreeTextures();
  g_fonts = FontTable{};
  FontFreeType_Shutdown();
}

uint16_t Font_TableCharacter(int32_t position) {
  // Past the table's 256 entries a position stands for itself.
  if (position < 0 || position > 0xFFFF) return 0;
  if (position > 255) return uint16_t(position);
  if (g_fonts.characters) return (*g_fonts.characters)[size_t(position)];
  return position >= 128 && position < 160 ? kCp1252High[position - 128] : uint16_t(position);
}

// ---- The built-in font ------------------------------------------------------------------

void Text_CreateDefaultFont() {
  if (g_defaultFont) return;
  TextureD3D* image = Texture_LoadEmbedded(kBuiltinImage);
  const int32_t texture = Texture_AddD3D(image, kBuiltinPageWidth, kBuiltinPageHeight);
  if (texture < 0) TextureD3D_Free(image);
  g_defaultFont = std::make_unique<CFontTW>(kBuiltinGlyphs, kBuiltinFirst, kBuiltinLast, texture);
}

void Text_FreeDefaultFont() {
  if (!g_defaultFont) return;
  const int32_t texture = g_defaultFont->GetTexture();
  g_defaultFont.reset();
  Texture_Free(texture);
}

CFontTW* Text_DefaultFont() { return g_defaultFont.get(); }
