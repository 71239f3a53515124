// Drawing one line of text in a font: textured quads from the font's page,
// or sprite frames for a sprite font.
#include <algorithm>
#include <cmath>
#include <vector>

#include "draw/colour.h"
#include "draw/draw_state.h"
#include "draw/fonts.h"
#include "graphics/batching.h"
#include "graphics/matrices.h"
#include "sprites/sprites.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

uint32_t WithCorner(uint32_t colour, int corner) {
  colour &= ~0x00010001u;
  if (corner & 1) colour |= 1;
  if (corner & 2) colour |= 0x10000;
  return colour;
}

// 0xAABBGGRR (or a script colour) with red and blue exchanged.
uint32_t SwapRedBlue(uint32_t c) { return (c & 0xFF00FF00u) | (c >> 16 & 0xFFu) | (c & 0xFFu) << 16; }

size_t Length(const uint16_t* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

bool OffPage(const FontGlyph* g) { return g->x == -1 && g->y == -1; }

}  // namespace

// Where the next glyph goes and how the line is turned and scaled.
struct CFontTW::Pen {
  float x, y;
  float xScale, yScale;
  float angle = 0;          // degrees, for sprite fonts
  bool rotated = false;
  float cosA = 1, sinA = 0;  // of the angle, when rotated

  Pen(float x0, float y0, float xs, float ys) : x(x0), y(y0), xScale(xs), yScale(ys) {}
  Pen(float x0, float y0, float xs, float ys, float degrees) : Pen(x0, y0, xs, ys) {
    angle = degrees;
    if (std::fabs(degrees) >= 0.001f) {
      rotated = true;
      const float theta = degrees * kDegreesToRadians;
      cosA = std::cos(theta);
      sinA = std::sin(theta);
    }
  }
  // Where a glyph with this offset is drawn.
  float OriginX(int offset) const { return rotated ? x + xScale * cosA * float(offset) : x + float(offset) * xScale; }
  float OriginY(int offset) const { return rotated ? y - xScale * sinA * float(offset) : y; }
  void Advance(int advance) {
    if (rotated) {
      x += xScale * cosA * float(advance);
      y -= xScale * sinA * float(advance);
    } else {
      x += float(advance) * xScale;
    }
  }
};

bool CFontTW::DrawQuads(Pen& pen, const uint16_t* text, uint32_t deviceColour) {
  const TexturePageEntry* entry = GetPageEntry();
  const TextureEntry* slot = Texture_GetEntry(entry ? entry->texture : ownTexture_);
  if (!slot || !slot->texture) return false;
  const float s = s_;
  const float pageX = entry ? float(entry->x) : 0.0f, pageY = entry ? float(entry->y) : 0.0f;
  const float uvPad = entry ? s : 0.0f;
  const float z = Graphics_GetDepth();
  const bool corner = Draw_State().cornerId;
  uint32_t colours[4];
  for (int i = 0; i < 4; ++i) colours[i] = corner ? WithCorner(deviceColour, i) : deviceColour;
  static constexpr int kOrder[6] = {0, 1, 2, 2, 3, 0};

  const size_t n = Length(text);
  static thread_local std::vector<FontGlyph*> glyphs;
  glyphs.assign(n, nullptr);
  // The glyphs of a run are found first, so the run takes one reservation.
  // A run ends early only where finding the next glyph would take one of the
  // run's own glyphs off the page: its quads must be in the batch before
  // their cells change.
  size_t start = 0;
  auto emit = [&](size_t end) {
    int quads = 0;
    for (size_t i = start; i < end; ++i)
      if (glyphs[i] && !OffPage(glyphs[i])) ++quads;
    auto* v = quads ? static_cast<TexturedVertex*>(
                          VertexBatch_Reserve(gfx::Prim_TriangleList, slot->texture->texture, 24, 6 * quads))
                    : nullptr;
    for (size_t i = start; i < end; ++i) {
      const FontGlyph* g = glyphs[i];
      if (!g) continue;  // no glyph: nothing drawn, the pen stays
      if (!OffPage(g) && v) {
        const float w = g->width, h = g->height;
        float px[4], py[4];
        if (!pen.rotated) {
          const float left = pen.x + float(g->offset) * pen.xScale;
          px[0] = px[3] = left - s;
          px[1] = px[2] = left + w * pen.xScale + s;
          py[0] = py[1] = pen.y - s;
          py[2] = py[3] = pen.y + h * pen.yScale + s;
        } else {
          const float ox = pen.OriginX(g->offset), oy = pen.OriginY(g->offset);
          const float topX = w * pen.xScale * pen.cosA, topY = -w * pen.xScale * pen.sinA;
          const float downX = h * pen.yScale * pen.sinA, downY = h * pen.yScale * pen.cosA;
          px[0] = ox - s, py[0] = oy - s;
          px[1] = ox + topX - s, py[1] = oy + topY - s;
          px[2] = ox + topX + downX + s, py[2] = oy + topY + downY + s;
          px[3] = ox + downX + s, py[3] = oy + downY + s;
        }
        const float u1 = (pageX + g->x - uvPad) * slot->texelWidth, u2 = (pageX + g->x + w + uvPad) * slot->texelWidth;
        const float v1 = (pageY + g->y - uvPad) * slot->texelHeight,
                    v2 = (pageY + g->y + h + uvPad) * slot->texelHeight;
        const float us[4] = {u1, u2, u2, u1}, vs[4] = {v1, v1, v2, v2};
        for (int k = 0; k < 6; ++k) {
          const int c = kOrder[k];
          *v++ = {px[c], py[c], z, colours[c], us[c], vs[c]};
        }
      }
      pen.Advance(g->advance);
    }
    start = end;
  };
  for (size_t i = 0; i < n; ++i) {
    if (const FontGlyph* leaving = i > start ? LookupEvicts(text[i]) : nullptr) {
      if (std::find(glyphs.begin() + ptrdiff_t(start), glyphs.begin() + ptrdiff_t(i), leaving) !=
          glyphs.begin() + ptrdiff_t(i))
        emit(i);
    }
    glyphs[i] = FindGlyph(text[i]);
  }
  emit(n);
  return true;
}

void CFontTW::DrawSpriteLine(Pen& pen, const uint16_t* text, uint32_t colour, float alpha) {
  CSprite* sprite = Sprite_Get(sprite_);
  for (; text && *text; ++text) {
    const FontGlyph* g = FindGlyph(*text);
    if (!g) continue;
    if (g->character != ' ' && sprite)
      sprite->DrawExt(g->width, pen.OriginX(g->offset), pen.OriginY(g->offset), pen.xScale, pen.yScale, pen.angle,
                      colour, alpha);
    pen.Advance(g->advance);
  }
}

void CFontTW::DrawColourLine(Pen& pen, const uint16_t* text, const uint32_t corners[4], float alpha) {
  // The line's corner colours spread across its width.
  const int32_t width = TextWidth(text);
  CSprite* sprite = sprite_ >= 0 ? Sprite_Get(sprite_) : nullptr;
  TexturePageEntry* entry = GetPageEntry();
  const float radians = pen.rotated ? pen.angle * kDegreesToRadians : 0.0f;
  int32_t done = 0;
  for (; text && *text; ++text) {
    const FontGlyph* g = FindGlyph(*text);
    if (!g) continue;
    const double t1 = width ? double(done) / width : 0.0, t2 = width ? double(done + g->advance) / width : 0.0;
    const uint32_t c1 = Colour_Merge(corners[0], corners[1], t1), c2 = Colour_Merge(corners[0], corners[1], t2);
    const uint32_t c3 = Colour_Merge(corners[3], corners[2], t2), c4 = Colour_Merge(corners[3], corners[2], t1);
    const float x = pen.OriginX(g->offset), y = pen.OriginY(g->offset);
    if (sprite_ >= 0) {
      if (sprite && g->character != ' ')
        sprite->DrawGeneral(g->width, 0, 0, float(sprite->width), float(sprite->height), x, y, pen.xScale,
                            pen.yScale, pen.angle, c1, c2, c3, c4, alpha);
    } else if (!OffPage(g)) {
      if (entry) {
        TPage_DrawGeneral(entry, g->x, g->y, g->width, g->height, x, y, pen.xScale, pen.yScale, radians, c1, c2, c3,
                          c4, alpha);
      } else {
        Texture_DrawGeneral(ownTexture_, g->x, g->y, g->width, g->height, x, y, pen.xScale, pen.yScale, radians, c1,
                            c2, c3, c4, alpha);
      }
    }
    done += g->advance;
    pen.Advance(g->advance);
  }
}

void CFontTW::Draw(float x, float y, const uint16_t* text, uint32_t colour, float alpha) {
  Pen pen(x, y, xScale_, yScale_);
  if (sprite_ >= 0) {
    DrawSpriteLine(pen, text, colour & 0xFFFFFFu, alpha);
    return;
  }
  DrawQuads(pen, text, (SwapRedBlue(colour) & 0xFFFFFFu) | Colour_AlphaToByte(alpha) << 24);
}

void CFontTW::DrawTransformed(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                              uint32_t colour, float alpha) {
  Pen pen(x, y, xScale, yScale, angle);
  if (sprite_ >= 0) {
    DrawSpriteLine(pen, text, colour & 0xFFFFFFu, alpha);
    return;
  }
  DrawQuads(pen, text, (SwapRedBlue(colour) & 0xFFFFFFu) | Colour_AlphaToByte(alpha) << 24);
}

void CFontTW::DrawColour(float x, float y, const uint16_t* text, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                         float alpha) {
  Pen pen(x, y, xScale_, yScale_);
  const uint32_t corners[4] = {c1, c2, c3, c4};
  DrawColourLine(pen, text, corners, alpha);
}

void CFontTW::DrawTransformedColour(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                                    uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  Pen pen(x, y, xScale, yScale, angle);
  const uint32_t corners[4] = {c1, c2, c3, c4};
  DrawColourLine(pen, text, corners, alpha);
}
