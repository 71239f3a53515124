#include "draw/primitives.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/paths.h"
#include "draw/colour.h"
#include "draw/draw_state.h"
#include "graphics/batching.h"
#include "graphics/textures.h"
#include "script/convert.h"
#include "script/errors.h"

namespace {

struct PlainVertex {
  float x, y, z;
  uint32_t colour;
};
static_assert(sizeof(PlainVertex) == 16);

struct Pt {
  float x, y;
  uint32_t colour;
};

// Script colour with the current alpha.
uint32_t Device(uint32_t colour) { return Colour_ToARGB(colour, Draw_State().alpha); }

// One untextured batch request of plain (16-byte) vertices.
void Plain(int kind, std::initializer_list<Pt> pts) {
  auto* v = static_cast<PlainVertex*>(VertexBatch_Reserve(kind, 0, 16, int(pts.size())));
  if (!v) return;
  const float z = Draw_State().depth;
  for (const Pt& p : pts) *v++ = {p.x, p.y, z, p.colour};
}

TexturedVertex* ReserveTextured(int kind, int count) {
  return static_cast<TexturedVertex*>(VertexBatch_Reserve(kind, 0, 24, count));
}

// One untextured batch request of 24-byte vertices.
void Textured(int kind, std::initializer_list<Pt> pts) {
  TexturedVertex* v = ReserveTextured(kind, int(pts.size()));
  if (!v) return;
  const float z = Draw_State().depth;
  for (const Pt& p : pts) *v++ = {p.x, p.y, z, p.colour, 0, 0};
}

void SortPair(float* lo, float* hi) {
  if (*lo > *hi) std::swap(*lo, *hi);
}

// Distance in double precision, narrowed.
float Length(float x1, float y1, float x2, float y2) {
  const double dx = double(x2) - double(x1), dy = double(y2) - double(y1);
  return float(std::sqrt(dx * dx + dy * dy));
}

bool IsWhole(float v) { return std::isfinite(v) && std::floor(v) == v; }

// A filled rectangle of sorted corners in one colour; the offset reaches
// only its right and bottom edges.
void FilledRectangle(float x1, float y1, float x2, float y2, uint32_t c) {
  const DrawState& s = Draw_State();
  const float r = x2 + s.offsetX, b = y2 + s.offsetY;
  Textured(gfx::Prim_TriangleList, {{x1, y1, c}, {r, y1, c}, {r, b, c}, {r, b, c}, {x1, b, c}, {x1, y1, c}});
}

void PointDevice(float x, float y, uint32_t c) {
  const DrawState& s = Draw_State();
  Plain(gfx::Prim_PointList, {{x + s.offsetX, y + s.offsetY, c}});
}

void LineDevice(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t c2) {
  const DrawState& s = Draw_State();
  Plain(gfx::Prim_LineList, {{x1 + s.offsetX, y1 + s.offsetY, c1}, {x2 + s.offsetX, y2 + s.offsetY, c2}});
}

void LineWidthDevice(float x1, float y1, float x2, float y2, float width, uint32_t c1, uint32_t c2) {
  const float len = Length(x1, y1, x2, y2);
  if (!(len != 0)) return;
  const DrawState& s = Draw_State();
  x1 += s.offsetX, y1 += s.offsetY, x2 += s.offsetX, y2 += s.offsetY;
  const float t = (y2 - y1) * (width / 2) / len;
  const float u = (x2 - x1) * (width / 2) / len;
  Plain(gfx::Prim_TriangleFan, {{x1 - t, y1 + u, c1}, {x2 - t, y2 + u, c2}, {x2 + t, y2 - u, c2}, {x1 + t, y1 - u, c1}});
}

void TriangleDevice(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t c1, uint32_t c2,
                    uint32_t c3, bool outline) {
  if (outline) {
    Textured(gfx::Prim_LineStrip, {{x1, y1, c1}, {x2, y2, c2}, {x3, y3, c3}, {x1, y1, c1}});
  } else {
    Textured(gfx::Prim_TriangleList, {{x1, y1, c1}, {x2, y2, c2}, {x3, y3, c3}});
  }
}

// Device colours: top-left, top-right, bottom-right, bottom-left.
void RectangleColourDevice(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                           bool outline) {
  const DrawState& s = Draw_State();
  x2 += s.offsetX;
  y2 += s.offsetY;
  SortPair(&x1, &x2);
  SortPair(&y1, &y2);
  // A whole-number edge would land exactly on a pixel centre.
  if (IsWhole(x2)) x2 += 0.01f;
  if (IsWhole(y2)) y2 += 0.01f;
  Textured(outline ? gfx::Prim_LineStrip : gfx::Prim_TriangleFan,
           {{x1, y1, c1}, {x2, y1, c2}, {x2, y2, c3}, {x1, y2, c4}, {x1, y1, c1}});
}

// Swapped into order, and a whole-number right or bottom edge moved by 0.01.
void RoundRectBox(float* x1, float* y1, float* x2, float* y2) {
  SortPair(x1, x2);
  SortPair(y1, y2);
  if (IsWhole(*x2)) *x2 += 0.01f;
  if (IsWhole(*y2)) *y2 += 0.01f;
}

struct PrimitiveList {
  int32_t kind = 0;
  int32_t texture = -1;
  const TexturePageEntry* entry = nullptr;
  int pageWidth = 0, pageHeight = 0;
  int count = 0;
  TexturedVertex vertices[kPrimitiveMaxVertices];
};

PrimitiveList g_list;

void Append(float x, float y, uint32_t colour, float u, float v) {
  if (g_list.count >= kPrimitiveMaxVertices) return;
  g_list.vertices[g_list.count++] = {x, y, Draw_State().depth, colour, u, v};
}

// u and v as the page entry maps them, unchanged without one.
void MapUV(float* u, float* v) {
  const TexturePageEntry* e = g_list.entry;
  if (!e) return;
  if (g_list.pageWidth > 0) *u = (float(e->cropWidth) * *u + float(e->x)) / float(g_list.pageWidth);
  if (g_list.pageHeight > 0) *v = (float(e->cropHeight) * *v + float(e->y)) / float(g_list.pageHeight);
}

// Handles at or above this are page entries; below it, a value that is not
// a texture index is an error.
constexpr int32_t kPageHandleThreshold = 16385;

}  // namespace

void Draw_Point(float x, float y) { PointDevice(x, y, Draw_State().colour); }
void Draw_PointColour(float x, float y, uint32_t colour) { PointDevice(x, y, Device(colour)); }

void Draw_Line(float x1, float y1, float x2, float y2) {
  const uint32_t c = Draw_State().colour;
  LineDevice(x1, y1, x2, y2, c, c);
}

void Draw_LineColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2) {
  LineDevice(x1, y1, x2, y2, Device(colour1), Device(colour2));
}

void Draw_LineWidth(float x1, float y1, float x2, float y2, float width) {
  const uint32_t c = Draw_State().colour;
  LineWidthDevice(x1, y1, x2, y2, width, c, c);
}

void Draw_LineWidthColour(float x1, float y1, float x2, float y2, float width, uint32_t colour1, uint32_t colour2) {
  LineWidthDevice(x1, y1, x2, y2, width, Device(colour1), Device(colour2));
}

void Draw_Triangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline) {
  const uint32_t c = Draw_State().colour;
  TriangleDevice(x1, y1, x2, y2, x3, y3, c, c, c, outline);
}

void Draw_TriangleColour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                         uint32_t colour2, uint32_t colour3, bool outline) {
  TriangleDevice(x1, y1, x2, y2, x3, y3, Device(colour1), Device(colour2), Device(colour3), outline);
}

void Draw_Rectangle(float x1, float y1, float x2, float y2, bool outline) {
  SortPair(&x1, &x2);
  SortPair(&y1, &y2);
  const DrawState& s = Draw_State();
  const uint32_t c = s.colour;
  if (!outline) {
    FilledRectangle(x1, y1, x2, y2, c);
    return;
  }
  const float l = x1 + s.offsetX, t = y1 + s.offsetY, r = x2 + s.offsetX, b = y2 + s.offsetY;
  Textured(gfx::Prim_LineStrip, {{l, t, c}, {r, t, c}, {r, b, c}, {l, b, c}, {l, t, c}});
  // Line rasterisation leaves out an end pixel; the corners make it whole.
  Textured(gfx::Prim_PointList, {{l, t, c}, {r, t, c}, {r, b, c}, {l, b, c}});
}

void Draw_RectangleColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                          uint32_t colour3, uint32_t colour4, bool outline) {
  RectangleColourDevice(x1, y1, x2, y2, Device(colour1), Device(colour2), Device(colour3), Device(colour4), outline);
}

void Draw_EllipseShape(float x1, float y1, float x2, float y2, uint32_t centre, uint32_t edge, bool outline) {
  const DrawState& s = Draw_State();
  const CircleTable& table = s.circle;
  const int n = table.precision;
  const float cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const float rx = std::fabs(x1 - x2) / 2, ry = std::fabs(y1 - y2) / 2;
  auto rim = [&](int i) { return Pt{cx + table.cos[i] * rx, cy + table.sin[i] * ry, edge}; };
  if (outline) {
    TexturedVertex* v = ReserveTextured(gfx::Prim_LineStrip, n + 1);
    if (!v) return;
    for (int i = 0; i <= n; ++i) {
      const Pt p = rim(i);
      v[i] = {p.x, p.y, s.depth, p.colour, 0, 0};
    }
    return;
  }
  TexturedVertex* v = ReserveTextured(gfx::Prim_TriangleList, 3 * n);
  if (!v) return;
  for (int i = 0; i < n; ++i) {
    const Pt a = rim(i), b = rim(i + 1);
    *v++ = {cx, cy, s.depth, centre, 0, 0};
    *v++ = {a.x, a.y, s.depth, a.colour, 0, 0};
    *v++ = {b.x, b.y, s.depth, b.colour, 0, 0};
  }
}

void Draw_Ellipse(float x1, float y1, float x2, float y2, bool outline) {
  const uint32_t c = Draw_State().colour;
  Draw_EllipseShape(x1, y1, x2, y2, c, c, outline);
}

void Draw_EllipseColour(float x1, float y1, float x2, float y2, uint32_t centre, uint32_t edge, bool outline) {
  Draw_EllipseShape(x1, y1, x2, y2, Device(centre), Device(edge), outline);
}

void Draw_Circle(float x, float y, float r, bool outline) { Draw_Ellipse(x - r, y - r, x + r, y + r, outline); }

void Draw_CircleColour(float x, float y, float r, uint32_t centre, uint32_t edge, bool outline) {
  Draw_EllipseColour(x - r, y - r, x + r, y + r, centre, edge, outline);
}

void Draw_RoundRectShape(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                         uint32_t centre, uint32_t edge, bool outline) {
  const DrawState& s = Draw_State();
  const CircleTable& table = s.circle;
  const int n = table.precision;
  const float w = std::fabs(x2 - x1), h = std::fabs(y2 - y1);
  cornerWidth = std::min(cornerWidth, w);
  cornerHeight = std::min(cornerHeight, h);
  const float cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const float dx = w / 2 - cornerWidth / 2, dy = h / 2 - cornerHeight / 2;
  const int count = n + 6;
  TexturedVertex* v = ReserveTextured(outline ? gfx::Prim_LineStrip : gfx::Prim_TriangleFan, count);
  if (!v) return;
  TexturedVertex* out = v;
  *out++ = {cx, cy, s.depth, centre, 0, 0};
  // Four quarter arcs, each around its corner's centre, sharing their joints.
  const float ax[4] = {cx + dx, cx - dx, cx - dx, cx + dx};
  const float ay[4] = {cy + dy, cy + dy, cy - dy, cy - dy};
  for (int q = 0; q < 4; ++q) {
    for (int i = q * n / 4; i <= (q + 1) * n / 4; ++i) {
      *out++ = {ax[q] + table.cos[i] * cornerWidth / 2, ay[q] + table.sin[i] * cornerHeight / 2, s.depth, edge, 0, 0};
    }
  }
  *out = v[1];
  if (outline) v[0] = v[1];
}

void Draw_RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, bool outline) {
  RoundRectBox(&x1, &y1, &x2, &y2);
  const uint32_t c = Draw_State().colour;
  Draw_RoundRectShape(x1, y1, x2, y2, cornerWidth, cornerHeight, c, c, outline);
}

void Draw_RoundRectColour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                          uint32_t centre, uint32_t edge, bool outline) {
  RoundRectBox(&x1, &y1, &x2, &y2);
  Draw_RoundRectShape(x1, y1, x2, y2, cornerWidth, cornerHeight, Device(centre), Device(edge), outline);
}

void Draw_Arrow(float x1, float y1, float x2, float y2, float size) {
  const float len = Length(x1, y1, x2, y2);
  if (!(len != 0)) return;
  size = std::min(size, len);
  const uint32_t c = Draw_State().colour;
  LineDevice(x1, y1, x2, y2, c, c);
  const float a = size * (x2 - x1) / len, b = size * (y2 - y1) / len;
  Textured(gfx::Prim_TriangleList,
           {{x2 - a - b / 3, y2 - b + a / 3, c}, {x2, y2, c}, {x2 - a + b / 3, y2 - b - a / 3, c}});
}

void Draw_Button(float x1, float y1, float x2, float y2, bool up) {
  const uint32_t light = Device(0xFFFFFF), dark = Device(0x808080);
  const uint32_t topLeft = up ? light : dark, bottomRight = up ? dark : light;
  Textured(gfx::Prim_TriangleList, {{x1, y1, topLeft}, {x2, y1, topLeft}, {x1, y2, topLeft}});
  Textured(gfx::Prim_TriangleList, {{x1, y2, bottomRight}, {x2, y1, bottomRight}, {x2, y2, bottomRight}});
  float l = x1 + 2, t = y1 + 2, r = x2 - 2, b = y2 - 2;
  SortPair(&l, &r);
  SortPair(&t, &b);
  FilledRectangle(l, t, r, b, Draw_State().colour);
}

void Draw_Healthbar(float x1, float y1, float x2, float y2, float amount, uint32_t back, uint32_t minColour,
                    uint32_t midColour, uint32_t maxColour, int32_t direction, bool showBack, bool showBorder) {
  const uint32_t black = Device(0);
  if (showBack) {
    const uint32_t b = Device(back);
    RectangleColourDevice(x1, y1, x2, y2, b, b, b, b, false);
    if (showBorder) RectangleColourDevice(x1, y1, x2, y2, black, black, black, black, true);
  }
  if (amount > 100) amount = 100;
  if (!(amount > 0)) return;  // NaN too
  const float f = amount / 100;
  switch (direction) {
    case 1: x1 = x2 - (x2 - x1) * f; break;
    case 2: y2 = y1 + (y2 - y1) * f; break;
    case 3: y1 = y2 - (y2 - y1) * f; break;
    default: x2 = x1 + (x2 - x1) * f; break;
  }
  const uint32_t colour = Device(amount <= 50 ? Colour_Lerp(minColour, midColour, amount / 50)
                                              : Colour_Lerp(midColour, maxColour, (amount - 50) / 50));
  RectangleColourDevice(x1, y1, x2, y2, colour, colour, colour, colour, false);
  if (showBorder) RectangleColourDevice(x1, y1, x2, y2, black, black, black, black, true);
}

// ---- Free-form primitives ----------------------------------------------------------

void Draw_PrimitiveBegin(int32_t kind, int32_t texture) {
  g_list.kind = kind;
  g_list.texture = texture;
  g_list.entry = nullptr;
  g_list.pageWidth = g_list.pageHeight = 0;
  g_list.count = 0;
  if (texture == -1 || Texture_Exists(texture)) return;
  const TexturePageEntry* entry = texture >= kPageHandleThreshold ? TPage_FromHandle(texture) : nullptr;
  if (!entry) {
    // The list keeps the value; no texture draws for it.
    Error_ReportRuntime(ErrorSeverity::kFatal, "Illegal texture supplied.");
    return;
  }
  g_list.entry = entry;
  g_list.texture = entry->texture;
  if (const TextureD3D* t = Texture_GetD3D(entry->texture)) {
    g_list.pageWidth = t->Width();
    g_list.pageHeight = t->Height();
  }
}

void Draw_Vertex(float x, float y) { Append(x, y, Draw_State().colour, 0, 0); }

void Draw_VertexColour(float x, float y, uint32_t colour, float alpha) {
  Append(x, y, Colour_ToARGB(colour, Colour_AlphaToByte(alpha)), 0, 0);
}

void Draw_VertexTexture(float x, float y, float u, float v) {
  MapUV(&u, &v);
  Append(x, y, Draw_State().colour, u, v);
}

void Draw_VertexTextureColour(float x, float y, float u, float v, uint32_t colour, float alpha) {
  MapUV(&u, &v);
  Append(x, y, Colour_ToARGB(colour, Colour_AlphaToByte(alpha)), u, v);
}

void Draw_PrimitiveEnd() {
  if (g_list.kind < int32_t(gfx::Prim_PointList) || g_list.kind > int32_t(gfx::Prim_TriangleFan) || g_list.count == 0) {
    return;
  }
  const TextureD3D* t = Texture_GetD3D(g_list.texture);
  void* v = VertexBatch_Reserve(g_list.kind, t ? t->texture : 0, 24, g_list.count);
  if (!v) return;
  std::memcpy(v, g_list.vertices, sizeof(TexturedVertex) * size_t(g_list.count));
}

int Draw_PrimitiveCount() { return g_list.count; }

void Draw_Path(const CMotionPath& path, float x, float y, bool absolute) {
  // Past 1000 segments the list would drop the rest of the path, so a long
  // path is sampled more sparsely instead.
  const int n = std::min(Real_RoundToInt32(double(path.GetLength()) / 4), kPrimitiveMaxVertices - 1);
  if (n <= 0) return;
  float dx = 0, dy = 0;
  if (!absolute) {
    float x0, y0, speed;
    path.GetPosition(0, &x0, &y0, &speed);
    dx = x - x0;
    dy = y - y0;
  }
  Draw_PrimitiveBegin(gfx::Prim_LineStrip, -1);
  for (int i = 0; i <= n; ++i) {
    float px, py, speed;
    path.GetPosition(float(i) / float(n), &px, &py, &speed);
    Draw_Vertex(px + dx, py + dy);
  }
  Draw_PrimitiveEnd();
}
