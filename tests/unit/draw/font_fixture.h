// Fonts over the recording device: FONT chunks built byte by byte (with a
// page entry and a page of their own), and the vertices a draw produced.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "draw/draw_state.h"
#include "draw/fonts.h"
#include "graphics/batching.h"
#include "graphics/textures.h"
#include "graphics/viewport.h"
#include "script/value.h"
#include "pack.h"
#include "sprites/sprites.h"
#include "textures.h"
#include "unit/graphics/graphics_fixture.h"

namespace fonttest {

struct Glyph {
  uint16_t character;
  int16_t x, y, width, height, advance, offset;
  std::vector<std::pair<uint16_t, int16_t>> kerning = {};
};

struct Font {
  std::string name = "fnt_test";
  std::string face = "Test Face";
  uint32_t size = 12, bold = 0, italic = 0;
  uint32_t first = 32;  // with charset and antialias + 1 in its high bytes
  uint32_t last = 127;
  bool entry = true;  // on the page entry, else no entry
  float xScale = 1, yScale = 1;
  std::vector<Glyph> glyphs;
};

// Where the font's page entry lies on its 64 x 32 page.
constexpr int kEntryX = 16, kEntryY = 8, kPageWidth = 64, kPageHeight = 32;

// A container of FONT (the fonts, empty slots for none, then the character
// table), TPAG (one entry) and TXTR (one white page), in the container's
// order.
inline std::vector<uint8_t> FontContainer(const std::vector<std::optional<Font>>& fonts,
                                          const std::vector<uint16_t>& table = {}) {
  twpack::Writer w;
  twpack::ChunkBuilder& f = w.AddChunk("FONT");
  twpack::ChunkBuilder& tpag = w.AddChunk("TPAG");
  twpack::ChunkBuilder& txtr = w.AddChunk("TXTR");
  const twpack::Label entry = w.NewLabel();

  f.U32(uint32_t(fonts.size()));
  std::vector<twpack::Label> records;
  for (const auto& font : fonts) {
    records.push_back(w.NewLabel());
    if (font) f.OffsetOf(records.back());
    else f.U32(0);
  }
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (!fonts[i]) continue;
    const Font& font = *fonts[i];
    std::vector<twpack::Label> glyphs;
    f.Bind(records[i]).StringRef(font.name).StringRef(font.face).U32(font.size).U32(font.bold).U32(font.italic);
    f.U32(font.first).U32(font.last);
    if (font.entry) f.OffsetOf(entry);
    else f.U32(0);
    f.F32(font.xScale).F32(font.yScale).U32(uint32_t(font.glyphs.size()));
    for (size_t g = 0; g < font.glyphs.size(); ++g) {
      glyphs.push_back(w.NewLabel());
      f.OffsetOf(glyphs.back());
    }
    for (size_t g = 0; g < font.glyphs.size(); ++g) {
      const Glyph& gl = font.glyphs[g];
      f.Bind(glyphs[g]).U16(gl.character).U16(uint16_t(gl.x)).U16(uint16_t(gl.y)).U16(uint16_t(gl.width));
      f.U16(uint16_t(gl.height)).U16(uint16_t(gl.advance)).U16(uint16_t(gl.offset));
      f.U16(uint16_t(gl.kerning.size()));
      for (auto [other, amount] : gl.kerning) f.U16(other).U16(uint16_t(amount));
    }
  }
  for (int i = 0; i < 256; ++i) f.U16(i < int(table.size()) ? table[size_t(i)] : uint16_t(i));

  tpag.U32(1).OffsetOf(entry);
  tpag.Bind(entry).U16(kEntryX).U16(kEntryY).U16(32).U16(16).U16(0).U16(0).U16(32).U16(16).U16(32).U16(16).U16(0);
  tpag.Align(4);

  const twpack::Label page = w.NewLabel(), png = w.NewLabel();
  const std::vector<uint8_t> image =
      twpack::EncodePng(std::vector<uint8_t>(size_t(kPageWidth) * kPageHeight * 4, 255), kPageWidth, kPageHeight);
  txtr.U32(1).OffsetOf(page);
  txtr.Bind(page).U32(0).OffsetOf(png);
  txtr.Bind(png).Bytes(image.data(), image.size());
  w.PlaceStringPool();
  return w.Build();
}

// Every printable character advances by its own amount, so the glyph quads
// of a line spell out its text: "3" and "4", or "2.50" and "      2.50",
// draw differently.
inline Font Telling() {
  Font f;
  for (int c = 32; c < 127; ++c)
    f.glyphs.push_back({uint16_t(c), int16_t((c - 32) % 31), 0, 1, 15, int16_t(c - 30), 0});
  f.glyphs.push_back({0xE9, 31, 0, 1, 15, 100, 0});  // e with an acute accent
  f.last = 255;
  return f;
}

// A vertex batch the recording device received.
struct RecordedDraw {
  int type, count;
  gfx::TextureHandle texture;
  uint32_t fvf;
  std::vector<uint8_t> vertices;
  bool operator==(const RecordedDraw&) const = default;
};

class FontTest : public TexturedGraphicsTest {
 protected:
  void SetUp() override {
    TexturedGraphicsTest::SetUp();
    device.captureVertices = true;
    Graphics_SetViewRect(0, 0, 640, 480);
    DrawState_ResetForTests();
    Font_Init();
    // The images the program carries, the built-in font's among them.
    Texture_SetEmbeddedTable(Texture_BuiltinTable().data(), Texture_BuiltinTable().size());
  }
  void TearDown() override {
    Font_Shutdown();
    Text_FreeDefaultFont();
    DrawState_ResetForTests();
    TexturedGraphicsTest::TearDown();
  }

  // Loads the container's chunks in their order; the DataError of a damaged
  // one goes to the caller.
  void Load(std::vector<uint8_t> bytes) {
    file_ = std::make_unique<GameDataFile>(std::move(bytes));
    for (const ChunkRef& c : file_->Chunks()) {
      ChunkBody body(*file_, c);
      if (!std::strcmp(c.tag, "FONT")) Font_Load(body);
      if (!std::strcmp(c.tag, "TPAG")) TPage_Load(body);
      if (!std::strcmp(c.tag, "TXTR")) Texture_LoadPages(body);
      if (!std::strcmp(c.tag, "SPRT")) Sprite_Load(body);
    }
  }

  // Every vertex drawn since the last call.
  std::vector<TexturedVertex> Drawn() {
    VertexBatch_Flush();
    std::vector<TexturedVertex> all;
    for (size_t d = seen_; d < device.Draws().size(); ++d) {
      const auto& bytes = device.Draws()[d].vertices;
      const size_t at = all.size();
      all.resize(at + bytes.size() / sizeof(TexturedVertex));
      std::memcpy(all.data() + at, bytes.data(), (all.size() - at) * sizeof(TexturedVertex));
    }
    seen_ = device.Draws().size();
    return all;
  }

  static std::vector<uint16_t> Wide(const char* text) {
    std::vector<uint16_t> w;
    for (const char* p = text; *p;) w.push_back(uint16_t(UTF8_DecodeChar(&p)));
    w.push_back(0);
    return w;
  }

  // The batches drawn since the last look.
  std::vector<RecordedDraw> Draws() {
    VertexBatch_Flush();
    std::vector<RecordedDraw> out;
    for (size_t d = seen_; d < device.Draws().size(); ++d) {
      const auto& r = device.Draws()[d];
      out.push_back({int(r.type), r.primitiveCount, r.texture, r.fvf, r.vertices});
    }
    seen_ = device.Draws().size();
    return out;
  }
  // The batches `draw` draws.
  std::vector<RecordedDraw> DrawsOf(const std::function<void()>& draw) {
    Draws();
    draw();
    return Draws();
  }

  std::unique_ptr<GameDataFile> file_;
  size_t seen_ = 0;
};

}  // namespace fonttest
