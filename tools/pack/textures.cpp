#include "textures.h"

#include <algorithm>
#include <numeric>

#include "graphics/image_codecs.h"
#include "resources.h"

namespace twpack {

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgba, int width, int height) {
  if (width < 1 || height < 1 || rgba.size() != size_t(width) * size_t(height) * 4) {
    throw PackError("an image of " + std::to_string(width) + " x " + std::to_string(height) + " needs " +
                    std::to_string(int64_t(width) * height * 4) + " RGBA bytes, got " + std::to_string(rgba.size()));
  }
  std::vector<uint8_t> png;
  if (!PNG_Encode(rgba.data(), width, height, &png)) throw PackError("the PNG encoder refused the image");
  return png;
}

std::vector<uint8_t> PackMask(const std::vector<uint8_t>& cells, int width, int height) {
  const size_t row = (size_t(width) + 7) / 8;
  std::vector<uint8_t> out(row * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (cells.at(size_t(y) * width + x)) out[size_t(y) * row + x / 8] |= uint8_t(0x80 >> (x % 8));
  return out;
}

std::array<uint16_t, 256> Windows1252Table() {
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::array<uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[size_t(i)] = i >= 0x80 && i < 0xA0 ? kHigh[i - 0x80] : uint16_t(i);
  return table;
}

void PackSolidGlyphs(Font& font, const std::vector<uint32_t>& fills) {
  if (fills.size() != font.glyphs.size()) {
    throw PackError("font \"" + font.name + "\": " + std::to_string(fills.size()) + " fills for " +
                    std::to_string(font.glyphs.size()) + " glyphs");
  }
  constexpr int kGap = 2;
  int width = kGap, height = 1;
  for (Glyph& g : font.glyphs) {
    if (g.width <= 0 || g.height <= 0) {
      g.x = g.y = 0;  // nothing to show: a space
      continue;
    }
    g.x = int16_t(width);
    g.y = kGap;
    width += g.width + kGap;
    height = std::max(height, g.height + 2 * kGap);
  }
  if (width > 0xFFFF || height > 0xFFFF) throw PackError("font \"" + font.name + "\": its glyphs do not fit a page");
  std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4, 0);
  for (size_t i = 0; i < font.glyphs.size(); ++i) {
    const Glyph& g = font.glyphs[i];
    if (g.width <= 0 || g.height <= 0) continue;
    for (int y = g.y; y < g.y + g.height; ++y)
      for (int x = g.x; x < g.x + g.width; ++x)
        for (int k = 0; k < 4; ++k) rgba[(size_t(y) * width + x) * 4 + k] = uint8_t(fills[i] >> (24 - 8 * k));
  }
  font.entry = -1;
  font.page = TexturePage{0, EncodePng(rgba, width, height)};
  font.page_width = uint16_t(width);
  font.page_height = uint16_t(height);
}

void ImageSet::Finish() {
  // A font's own page goes after every other page, with an entry of its own.
  std::vector<PageEntry> entries = this->entries;
  std::vector<std::optional<TexturePage>> pages = this->pages;
  std::vector<int32_t> font_entries;
  for (const auto& f : fonts) {
    font_entries.push_back(f ? f->entry : -1);
    if (!f || !f->page) continue;
    if (f->entry != -1) throw PackError("font \"" + f->name + "\" has both a page entry and a page of its own");
    PlaceEntries();
    PlacePages();
    PageEntry e;
    e.width = e.crop_width = e.original_width = f->page_width;
    e.height = e.crop_height = e.original_height = f->page_height;
    e.page = uint16_t(pages.size());
    pages.push_back(*f->page);
    font_entries.back() = int32_t(entries.size());
    entries.push_back(e);
  }
  // Only the texture pages give the entries their textures.
  if (!entries.empty() && !txtr_) throw PackError("page entries need the texture pages they lie on: no PAGE line");
  std::vector<Label> labels;
  for (size_t i = 0; i < entries.size(); ++i) labels.push_back(w_.NewLabel());
  auto entryLabel = [&](int32_t index, const std::string& who) {
    if (index == -1) return Label{};
    if (index < 0 || size_t(index) >= entries.size()) {
      throw PackError(who + " names page entry " + std::to_string(index) + ", but there are " +
                      std::to_string(entries.size()));
    }
    return labels[size_t(index)];
  };

  if (tpag_) {
    ChunkBuilder& c = *tpag_;
    c.U32(uint32_t(entries.size()));
    for (const Label& l : labels) c.OffsetOf(l);
    for (size_t i = 0; i < entries.size(); ++i) {
      const PageEntry& e = entries[i];
      c.Bind(labels[i]);
      for (uint16_t v : {e.x, e.y, e.width, e.height, e.x_offset, e.y_offset, e.crop_width, e.crop_height,
                         e.original_width, e.original_height, e.page})
        c.U16(v);
    }
    c.Align(4);
  }

  if (txtr_) {
    ChunkBuilder& c = *txtr_;
    std::vector<Label> recs, images;
    c.U32(uint32_t(pages.size()));
    for (const auto& p : pages) {
      recs.push_back(p ? c.NewLabel() : Label{});
      c.OffsetOf(recs.back());
    }
    for (size_t i = 0; i < pages.size(); ++i) {
      if (!pages[i]) continue;
      images.push_back(c.NewLabel());
      c.Bind(recs[i]).U32(pages[i]->flags).OffsetOf(images.back());
    }
    size_t k = 0;
    for (const auto& p : pages) {
      if (!p) continue;
      c.Bind(images[k++]).Bytes(p->image.data(), p->image.size()).Align(4);
    }
  }

  if (sprt_) {
    ChunkBuilder& c = *sprt_;
    std::vector<Label> recs;
    c.U32(uint32_t(sprites.size()));
    for (const auto& s : sprites) {
      recs.push_back(s ? c.NewLabel() : Label{});
      c.OffsetOf(recs.back());
    }
    for (size_t i = 0; i < sprites.size(); ++i) {
      if (!sprites[i]) continue;
      const Sprite& s = *sprites[i];
      c.Bind(recs[i]).StringRef(s.name);
      for (int32_t v : {s.width, s.height, s.left, s.right, s.bottom, s.top, s.transparent, s.smooth, s.preload,
                        s.mode, s.precise, s.x_origin, s.y_origin})
        c.S32(v);
      c.U32(s.frame_count_override.value_or(uint32_t(s.frames.size())));
      for (int32_t f : s.frames) c.OffsetOf(entryLabel(f, "sprite \"" + s.name + "\""));
      c.U32(s.mask_count_override.value_or(uint32_t(s.masks.size())));
      for (const auto& m : s.masks) c.Bytes(m.data(), m.size());
      c.Align(4);
    }
  }

  if (bgnd_) {
    ChunkBuilder& c = *bgnd_;
    std::vector<Label> recs;
    c.U32(uint32_t(backgrounds.size()));
    for (const auto& b : backgrounds) {
      recs.push_back(b ? c.NewLabel() : Label{});
      c.OffsetOf(recs.back());
    }
    for (size_t i = 0; i < backgrounds.size(); ++i) {
      if (!backgrounds[i]) continue;
      const Background& b = *backgrounds[i];
      c.Bind(recs[i]).StringRef(b.name).S32(b.transparent).S32(b.smooth).S32(b.preload);
      c.OffsetOf(entryLabel(b.entry, "background \"" + b.name + "\""));
    }
  }

  if (font_) {
    ChunkBuilder& c = *font_;
    std::vector<Label> recs;
    c.U32(uint32_t(fonts.size()));
    for (const auto& f : fonts) {
      recs.push_back(f ? c.NewLabel() : Label{});
      c.OffsetOf(recs.back());
    }
    for (size_t i = 0; i < fonts.size(); ++i) {
      if (!fonts[i]) continue;
      const Font& f = *fonts[i];
      const uint32_t antialias = f.antialias ? uint32_t(*f.antialias) + 1 : 0;
      if (antialias > 0xFF) throw PackError("font \"" + f.name + "\": antialias must be 0 to 254");
      c.Bind(recs[i]).StringRef(f.name).StringRef(f.face).U32(f.size).U32(f.bold).U32(f.italic);
      c.U32(uint32_t(f.first) | uint32_t(f.charset) << 16 | antialias << 24).U32(f.last);
      c.OffsetOf(entryLabel(font_entries[i], "font \"" + f.name + "\"")).F32(f.x_scale).F32(f.y_scale);
      c.U32(f.glyph_count_override.value_or(uint32_t(f.glyphs.size())));
      std::vector<Label> glyphs;
      for (size_t g = 0; g < f.glyphs.size(); ++g) {
        glyphs.push_back(c.NewLabel());
        c.OffsetOf(glyphs.back());
      }
      for (size_t g = 0; g < f.glyphs.size(); ++g) {
        const Glyph& gl = f.glyphs[g];
        c.Bind(glyphs[g]).U16(gl.character);
        for (int16_t v : {gl.x, gl.y, gl.width, gl.height, gl.advance, gl.offset}) c.U16(uint16_t(v));
        c.U16(uint16_t(gl.kerning.size()));
        for (const GlyphKerning& k : gl.kerning) c.U16(k.other).U16(uint16_t(k.amount));
      }
    }
    for (uint16_t ch : font_characters) c.U16(ch);
  }
}

}  // namespace twpack

// ---- The description's image directives ----------------------------------------

#include <cstdlib>
#include <fstream>
#include <tuple>
#include <iterator>

#include "numbers.h"

namespace twpack {
namespace {

using Words = std::vector<DescriptionWord>;

int64_t Number(const DescriptionWord& w, int64_t lo, int64_t hi) {
  int64_t n = 0;
  if (w.quoted || !ParseInteger(w.value, &n) || n < lo || n > hi) {
    throw PackError("bad number '" + w.value + "' for '" + w.key + "'");
  }
  return n;
}

int32_t I32(const DescriptionWord& w) { return int32_t(Number(w, INT32_MIN, UINT32_MAX)); }
uint16_t U16v(const DescriptionWord& w) { return uint16_t(Number(w, 0, 0xFFFF)); }

std::vector<uint8_t> HexBytes(const std::string& s) {
  if (s.size() % 2) throw PackError("odd number of hex digits");
  std::vector<uint8_t> out;
  for (size_t i = 0; i < s.size(); i += 2) {
    int64_t v = 0;
    if (!ParseInteger("0x" + s.substr(i, 2), &v)) throw PackError("bad hex digits '" + s.substr(i, 2) + "'");
    out.push_back(uint8_t(v));
  }
  return out;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts;
  for (size_t start = 0; !s.empty();) {
    const size_t comma = s.find(',', start);
    parts.push_back(s.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

void Keyed(const DescriptionWord& w) {
  if (!w.has_key) throw PackError("expected key=value, got '" + w.value + "'");
}

bool NamedOrNone(const Words& args, const char* what) {
  if (!args.empty() && !args[0].has_key && !args[0].quoted && args[0].value == "none") {
    if (args.size() > 1) throw PackError(std::string(what) + " none takes nothing more");
    return false;
  }
  if (args.empty() || args[0].has_key || !args[0].quoted) throw PackError(std::string(what) + " takes a quoted name, or none");
  return true;
}

PageEntry ParseEntry(const Words& args) {
  PageEntry e;
  bool crop_w = false, crop_h = false, orig_w = false, orig_h = false;
  for (const auto& w : args) {
    Keyed(w);
    const std::string& k = w.key;
    if (k == "x") e.x = U16v(w);
    else if (k == "y") e.y = U16v(w);
    else if (k == "width") e.width = U16v(w);
    else if (k == "height") e.height = U16v(w);
    else if (k == "xoffset") e.x_offset = U16v(w);
    else if (k == "yoffset") e.y_offset = U16v(w);
    else if (k == "crop_width") e.crop_width = U16v(w), crop_w = true;
    else if (k == "crop_height") e.crop_height = U16v(w), crop_h = true;
    else if (k == "original_width") e.original_width = U16v(w), orig_w = true;
    else if (k == "original_height") e.original_height = U16v(w), orig_h = true;
    else if (k == "page") e.page = U16v(w);
    else throw PackError("unknown key '" + k + "'");
  }
  if (!crop_w) e.crop_width = e.width;
  if (!crop_h) e.crop_height = e.height;
  if (!orig_w) e.original_width = uint16_t(e.x_offset + e.crop_width);
  if (!orig_h) e.original_height = uint16_t(e.y_offset + e.crop_height);
  return e;
}

}  // namespace

std::vector<uint8_t> ReadFile(const std::string& name, const std::string& base_dir) {
  const std::string path = name.starts_with("/") || base_dir.empty() ? name : base_dir + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("cannot read '" + path + "'");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

TexturePage ParsePage(const Words& args, const std::string& base_dir) {
  TexturePage p;
  int64_t width = -1, height = -1;
  std::optional<std::vector<uint8_t>> rgba;
  std::optional<uint32_t> fill;
  bool have_image = false;
  for (const auto& w : args) {
    Keyed(w);
    const std::string& k = w.key;
    if (k == "flags") p.flags = uint32_t(I32(w));
    else if (k == "width") width = Number(w, 1, 16384);
    else if (k == "height") height = Number(w, 1, 16384);
    else if (k == "rgba") rgba = HexBytes(w.value);
    else if (k == "fill") fill = uint32_t(Number(w, 0, UINT32_MAX));
    else if (k == "bytes") p.image = HexBytes(w.value), have_image = true;
    else if (k == "png") {
      if (!w.quoted) throw PackError("'png' needs a quoted file name");
      p.image = ReadFile(w.value, base_dir);
      have_image = true;
    } else {
      throw PackError("unknown key '" + k + "'");
    }
  }
  if (rgba || fill) {
    if (width < 1 || height < 1) throw PackError("PAGE with rgba or fill needs width and height");
    if (fill) {
      rgba.emplace();
      for (int64_t i = 0; i < width * height; ++i)
        for (int s : {24, 16, 8, 0}) rgba->push_back(uint8_t(*fill >> s));
    }
    p.image = EncodePng(*rgba, int(width), int(height));
    have_image = true;
  }
  if (!have_image) throw PackError("PAGE needs png=\"file\", rgba=, fill= or bytes=");
  return p;
}

Sprite ParseSprite(const Words& args) {
  Sprite s;
  s.name = args[0].value;
  std::vector<std::string> mask_hex;
  for (size_t i = 1; i < args.size(); ++i) {
    const auto& w = args[i];
    Keyed(w);
    const std::string& k = w.key;
    if (k == "frames") {
      for (const std::string& f : Split(w.value)) s.frames.push_back(I32(DescriptionWord{k, true, f, false}));
    } else if (k == "masks") {
      for (const std::string& m : Split(w.value)) s.masks.push_back(HexBytes(m));
    } else if (k == "frame_count") {
      s.frame_count_override = uint32_t(I32(w));
    } else if (k == "mask_count") {
      s.mask_count_override = uint32_t(I32(w));
    } else {
      static const char* const kKeys[] = {"width",  "height",  "left",    "top",     "right",   "bottom", "transparent",
                                          "smooth", "preload", "mode",    "precise", "xorigin", "yorigin"};
      int32_t* const fields[] = {&s.width,  &s.height,  &s.left, &s.top,     &s.right,    &s.bottom,  &s.transparent,
                                 &s.smooth, &s.preload, &s.mode, &s.precise, &s.x_origin, &s.y_origin};
      size_t n = 0;
      while (n < std::size(kKeys) && k != kKeys[n]) ++n;
      if (n == std::size(kKeys)) throw PackError("unknown key '" + k + "'");
      *fields[n] = I32(w);
    }
  }
  return s;
}

Background ParseBackground(const Words& args) {
  Background b;
  b.name = args[0].value;
  for (size_t i = 1; i < args.size(); ++i) {
    const auto& w = args[i];
    Keyed(w);
    if (w.key == "transparent") b.transparent = I32(w);
    else if (w.key == "smooth") b.smooth = I32(w);
    else if (w.key == "preload") b.preload = I32(w);
    else if (w.key == "entry") b.entry = I32(w);
    else throw PackError("unknown key '" + w.key + "'");
  }
  return b;
}

// The width and height a PNG file's header gives.
std::pair<uint16_t, uint16_t> PngSize(const std::vector<uint8_t>& png, const std::string& name) {
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto be32 = [&](size_t at) {
    return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
  };
  if (png.size() < 24 || !std::equal(std::begin(kSignature), std::end(kSignature), png.begin()) ||
      std::string(png.begin() + 12, png.begin() + 16) != "IHDR") {
    throw PackError("'" + name + "' is not a PNG file");
  }
  const uint32_t w = be32(16), h = be32(20);
  if (w < 1 || h < 1 || w > 0xFFFF || h > 0xFFFF) throw PackError("'" + name + "' is too large for a page entry");
  return {uint16_t(w), uint16_t(h)};
}

// A glyph's character: a number, or one quoted character of the 16-bit range.
uint16_t GlyphCharacter(const DescriptionWord& w) {
  if (!w.quoted) return U16v(w);
  const std::string& s = w.value;
  const unsigned char c0 = s.empty() ? 0 : static_cast<unsigned char>(s[0]);
  uint32_t cp = 0;
  size_t n = 0;
  if (c0 < 0x80) cp = c0, n = 1;
  else if ((c0 & 0xE0) == 0xC0) cp = c0 & 0x1F, n = 2;
  else if ((c0 & 0xF0) == 0xE0) cp = c0 & 0x0F, n = 3;
  bool ok = !s.empty() && n != 0 && s.size() == n;
  for (size_t i = 1; ok && i < n; ++i) {
    ok = (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
    cp = cp << 6 | (static_cast<unsigned char>(s[i]) & 0x3F);
  }
  if (!ok) {
    throw PackError("a glyph character is one character of the 16-bit range, got \"" + s + "\"");
  }
  return uint16_t(cp);
}

// The characters of a GLYPHS text, one a glyph.
std::vector<uint16_t> GlyphCharacters(const std::string& text) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c0 = static_cast<unsigned char>(text[i]);
    const size_t n = c0 < 0x80 ? 1 : (c0 & 0xE0) == 0xC0 ? 2 : (c0 & 0xF0) == 0xE0 ? 3 : 0;
    if (n == 0 || i + n > text.size()) throw PackError("GLYPHS text is not UTF-8 of the 16-bit range");
    out.push_back(GlyphCharacter(DescriptionWord{"char", true, text.substr(i, n), true}));
    i += n;
  }
  return out;
}

std::vector<GlyphKerning> ParseKerning(const DescriptionWord& w) {
  std::vector<GlyphKerning> out;
  for (const std::string& pair : Split(w.value)) {
    const size_t colon = pair.find(':');
    if (colon == std::string::npos) throw PackError("kerning pairs are CHARACTER:AMOUNT, got '" + pair + "'");
    out.push_back({U16v(DescriptionWord{"kerning", true, pair.substr(0, colon), false}),
                   int16_t(Number(DescriptionWord{"kerning", true, pair.substr(colon + 1), false}, -32768, 32767))});
  }
  return out;
}

int16_t I16(const DescriptionWord& w) { return int16_t(Number(w, -32768, 32767)); }

float Real(const DescriptionWord& w) {
  char* end = nullptr;
  const float v = std::strtof(w.value.c_str(), &end);
  if (w.quoted || w.value.empty() || *end != '\0') throw PackError("bad real number '" + w.value + "' for '" + w.key + "'");
  return v;
}

}  // namespace

bool ImageReader::Directive(const std::string& name, const Words& args) {
  ImageSet& set = set_;
  if (name == "ENTRY") {
    set.PlaceEntries();
    set.entries.push_back(ParseEntry(args));
  } else if (name == "PAGE") {
    set.PlacePages();
    if (args.size() == 1 && !args[0].has_key && args[0].value == "none") set.pages.emplace_back();
    else set.pages.emplace_back(ParsePage(args, base_dir_));
  } else if (name == "SPRITE") {
    set.PlaceSprites();
    if (NamedOrNone(args, "SPRITE")) set.sprites.emplace_back(ParseSprite(args));
    else set.sprites.emplace_back();
  } else if (name == "BGND") {
    set.PlaceBackgrounds();
    if (NamedOrNone(args, "BGND")) set.backgrounds.emplace_back(ParseBackground(args));
    else set.backgrounds.emplace_back();
  } else if (name == "FONTTABLE") {
    for (const auto& w : args) {
      Keyed(w);
      const uint16_t at = U16v(DescriptionWord{"position", true, w.key, false});
      if (at > 255) throw PackError("character table positions are 0 to 255, got '" + w.key + "'");
      set.font_characters[at] = GlyphCharacter(w);
    }
  } else if (name == "FONT") {
    set.PlaceFonts();
    set.fonts.emplace_back();
    if (!NamedOrNone(args, "FONT")) return true;
    Font& f = set.fonts.back().emplace();
    f.name = args[0].value;
    f.face = "Arial";
    fills_.clear();
    for (size_t i = 1; i < args.size(); ++i) {
      const auto& w = args[i];
      Keyed(w);
      const std::string& k = w.key;
      if (k == "face") {
        if (!w.quoted) throw PackError("'face' needs a quoted text");
        f.face = w.value;
      } else if (k == "size") f.size = uint32_t(I32(w));
      else if (k == "bold") f.bold = uint32_t(I32(w));
      else if (k == "italic") f.italic = uint32_t(I32(w));
      else if (k == "first") f.first = U16v(w);
      else if (k == "charset") f.charset = uint8_t(Number(w, 0, 255));
      else if (k == "antialias") f.antialias = uint8_t(Number(w, 0, 254));
      else if (k == "last") f.last = uint32_t(I32(w));
      else if (k == "xscale") f.x_scale = Real(w);
      else if (k == "yscale") f.y_scale = Real(w);
      else if (k == "entry") f.entry = I32(w);
      else if (k == "glyph_count") f.glyph_count_override = uint32_t(I32(w));
      else if (k == "png") {
        if (!w.quoted) throw PackError("'png' needs a quoted file name");
        TexturePage page;
        page.image = ReadFile(w.value, base_dir_);
        std::tie(f.page_width, f.page_height) = PngSize(page.image, w.value);
        f.page = std::move(page);
      } else {
        throw PackError("unknown key '" + k + "'");
      }
    }
    if (f.page && f.entry != -1) throw PackError("FONT takes entry= or png=, not both");
    font_ = &f;
  } else {
    return false;
  }
  return true;
}

void ImageReader::BlockLine(const Words& words) {
  if (words.empty() || words[0].has_key || words[0].quoted) throw PackError("expected GLYPH, GLYPHS or END");
  const std::string& what = words[0].value;
  if (what == "END") {
    if (words.size() > 1) throw PackError("END takes nothing more");
    EndFont();
    return;
  }
  if (what != "GLYPH" && what != "GLYPHS") throw PackError("unexpected '" + what + "' in a FONT block");
  if (words.size() < 2 || words[1].has_key) throw PackError(what + " needs a character first");
  std::vector<uint16_t> chars;
  if (what == "GLYPH") chars.push_back(GlyphCharacter(words[1]));
  else if (words[1].quoted) chars = GlyphCharacters(words[1].value);
  else throw PackError("GLYPHS needs a quoted text");
  // The font's own solid page places the glyphs itself.
  const bool own_page = font_->entry == -1 && !font_->page;
  Glyph g;
  std::optional<uint32_t> fill;
  bool advance = false;
  for (size_t i = 2; i < words.size(); ++i) {
    const auto& w = words[i];
    Keyed(w);
    const std::string& k = w.key;
    if ((k == "x" || k == "y") && own_page) {
      throw PackError("'" + k + "' needs a FONT with entry= or png=; without one the writer places the glyphs");
    }
    if (k == "fill" && !own_page) throw PackError("'fill' makes the font's own page: not with entry= or png=");
    if (k == "x") g.x = I16(w);
    else if (k == "y") g.y = I16(w);
    else if (k == "width") g.width = I16(w);
    else if (k == "height") g.height = I16(w);
    else if (k == "advance") g.advance = I16(w), advance = true;
    else if (k == "offset") g.offset = I16(w);
    else if (k == "kerning") g.kerning = ParseKerning(w);
    else if (k == "fill") fill = uint32_t(Number(w, 0, UINT32_MAX));
    else throw PackError("unknown key '" + k + "'");
  }
  if (!advance) g.advance = g.width;
  for (uint16_t c : chars) {
    g.character = c;
    font_->glyphs.push_back(g);
    fills_.push_back(fill);
  }
}

// Sorts the glyphs by character, as lookups need, and makes the solid page.
void ImageReader::EndFont() {
  Font& f = *font_;
  font_ = nullptr;
  std::vector<size_t> order(f.glyphs.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return f.glyphs[a].character < f.glyphs[b].character; });
  std::vector<Glyph> glyphs;
  std::vector<uint32_t> fills;
  for (size_t i : order) {
    if (!glyphs.empty() && glyphs.back().character == f.glyphs[i].character) {
      throw PackError("font \"" + f.name + "\" has two glyphs for character " + std::to_string(f.glyphs[i].character));
    }
    glyphs.push_back(std::move(f.glyphs[i]));
    fills.push_back(fills_[i].value_or(0));
  }
  f.glyphs = std::move(glyphs);
  if (f.entry == -1 && !f.page && !f.glyphs.empty()) PackSolidGlyphs(f, fills);
}

}  // namespace twpack
