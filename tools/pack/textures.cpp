#include "textures.h"

#include "graphics/image_codecs.h"

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

void ImageSet::Finish() {
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
}

}  // namespace twpack

// ---- The description's image directives ----------------------------------------

#include <fstream>
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
      const std::string path = w.value.starts_with("/") || base_dir.empty() ? w.value : base_dir + "/" + w.value;
      std::ifstream in(path, std::ios::binary);
      if (!in) throw PackError("cannot read '" + path + "'");
      p.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

}  // namespace

bool ImageDirective(ImageSet& set, const std::string& name, const Words& args, const std::string& base_dir) {
  if (name == "ENTRY") {
    set.PlaceEntries();
    set.entries.push_back(ParseEntry(args));
  } else if (name == "PAGE") {
    set.PlacePages();
    if (args.size() == 1 && !args[0].has_key && args[0].value == "none") set.pages.emplace_back();
    else set.pages.emplace_back(ParsePage(args, base_dir));
  } else if (name == "SPRITE") {
    set.PlaceSprites();
    if (NamedOrNone(args, "SPRITE")) set.sprites.emplace_back(ParseSprite(args));
    else set.sprites.emplace_back();
  } else if (name == "BGND") {
    set.PlaceBackgrounds();
    if (NamedOrNone(args, "BGND")) set.backgrounds.emplace_back(ParseBackground(args));
    else set.backgrounds.emplace_back();
  } else {
    return false;
  }
  return true;
}

}  // namespace twpack
