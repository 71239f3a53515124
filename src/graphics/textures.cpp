#include "graphics/textures.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>

#include "script/console.h"
#include "graphics/batching.h"
#include "graphics/bitmap.h"
#include "graphics/image_codecs.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "script/convert.h"
#include "script/memory_manager.h"

namespace {

TextureD3D* g_textures = nullptr;  // every live TextureD3D, newest first
size_t g_textureCount = 0;
gfx::TextureHandle g_lastStageTexture = 0;
int g_textureChanges = 0;

std::vector<std::unique_ptr<TextureEntry>> g_table;

// Pointers into a deque stay valid while it grows at the end.
std::deque<TexturePageEntry> g_pages;
std::unordered_map<uint32_t, int> g_pageByOffset;
uint32_t g_pageGeneration = 1;
std::vector<int> g_pageIds;

TextureDrawHooks g_hooks;

// Each tiled draw stops after this many tiles, so a huge view cannot hang.
constexpr int64_t kMaxTiles = 1 << 20;

int RoundSide(int side) {
  int n = 1;
  while (n < side) {
    n *= 2;
    if (n > 4094 && n != 4096) return 4096;
  }
  return std::min(n, 4096);
}

uint32_t Pack(int width, int height, int levels) {
  return (uint32_t(width - 1) & 0x1FFF) | (uint32_t(height - 1) & 0x1FFF) << 13 | (uint32_t(levels - 1) & 0x3F) << 26;
}

void Link(TextureD3D* t) {
  t->next = g_textures;
  if (g_textures) g_textures->prev = t;
  g_textures = t;
  ++g_textureCount;
}

// A texture of exactly width x height; the device texture is made when
// there is a device.
TextureD3D* MakeExact(int width, int height, int levels, int kind, bool renderTarget) {
  if (width < 1 || height < 1 || width > 8192 || height > 8192) return nullptr;
  gfx::TextureHandle handle = 0;
  if (gfx::Device* device = Graphics_Device()) {
    handle = device->CreateTexture(width, height, renderTarget ? uint32_t(gfx::TexUsage_RenderTarget) : 0u);
    if (handle == 0) {
      g_DebugConsole->Output("CreateTexture failed - %08x\n", 0x8876086Cu);
      return nullptr;
    }
  }
  auto* t = new TextureD3D;
  t->formatKind = kind;
  t->packedSize = Pack(width, height, std::max(levels, 1));
  t->flags = renderTarget ? 8 : 16;
  t->texture = handle;
  t->kept.assign(size_t(width) * size_t(height), 0);
  Link(t);
  return t;
}

uint32_t Expand4444(uint16_t p) {
  auto n = [&](int shift) { return uint32_t((p >> shift) & 0xF) * 0x11; };
  return n(12) << 24 | n(8) << 16 | n(4) << 8 | n(0);
}

uint8_t AlphaTrunc(float alpha) {
  float a = alpha * 255.0f;
  if (!(a >= 0)) return 0;
  return a >= 255.0f ? 255 : uint8_t(a);
}

uint8_t AlphaNearest(float alpha) {
  float a = std::nearbyint(alpha * 255.0f);
  if (!(a >= 0)) return 0;
  return a >= 255.0f ? 255 : uint8_t(a);
}

uint32_t ScriptToDevice(uint32_t c, uint8_t alpha) {
  return uint32_t(alpha) << 24 | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

bool CornerIds() { return g_hooks.cornerIds && g_hooks.cornerIds(); }

uint32_t WithCorner(uint32_t colour, int corner) {
  colour &= ~0x00010001u;
  if (corner & 1) colour |= 1;
  if (corner & 2) colour |= 0x10000;
  return colour;
}

// The slot's entry with a live device texture, or null.
TextureEntry* Drawable(int index) {
  TextureEntry* e = Texture_GetEntry(index);
  return e && e->texture ? e : nullptr;
}

TextureEntry* DrawablePage(TexturePageEntry* p) { return p ? Drawable(p->texture) : nullptr; }

void RepairTarget(TexturePageEntry* p) {
  if (p->cropWidth == 0) p->cropWidth = 1;
  if (p->cropHeight == 0) p->cropHeight = 1;
}

struct Pt {
  float x, y;
};

// Corner points of a local rectangle placed at (x, y), turned by angle when
// it is at least the threshold: top-left, top-right, bottom-right,
// bottom-left.
void Corners(float x, float y, float left, float top, float right, float bottom, float angle, float threshold,
             Pt out[4]) {
  const Pt local[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  if (std::fabs(angle) < threshold) {
    for (int i = 0; i < 4; ++i) out[i] = {x + local[i].x, y + local[i].y};
    return;
  }
  const float c = std::cos(angle), s = std::sin(angle);
  for (int i = 0; i < 4; ++i) out[i] = {x + local[i].x * c + local[i].y * s, y - local[i].x * s + local[i].y * c};
}

// Triangle-list quad: vertices in `order` (indices into the corners), each
// with the corner id `ids` when the switch is on.
bool ListQuad(TextureEntry* e, const Pt p[4], const Pt uv[4], const uint32_t colour[4], const int order[6],
              const int ids[6]) {
  auto* v = static_cast<TexturedVertex*>(VertexBatch_Reserve(gfx::Prim_TriangleList, e->texture->texture, 24, 6));
  if (!v) return false;
  const float z = Graphics_GetDepth();
  const bool corner = CornerIds();
  for (int i = 0; i < 6; ++i) {
    const int k = order[i];
    v[i] = {p[k].x, p[k].y, z, corner ? WithCorner(colour[k], ids[i]) : colour[k], uv[k].x, uv[k].y};
  }
  return true;
}

constexpr int kStdOrder[6] = {0, 1, 2, 2, 3, 0};
constexpr int kStdIds[6] = {0, 1, 2, 2, 3, 0};

bool StdQuad(TextureEntry* e, const Pt p[4], float u1, float v1, float u2, float v2, const uint32_t colour[4]) {
  const Pt uv[4] = {{u1, v1}, {u2, v1}, {u2, v2}, {u1, v2}};
  return ListQuad(e, p, uv, colour, kStdOrder, kStdIds);
}

bool FanQuad(TextureEntry* e, const Pt p[4], float u1, float v1, float u2, float v2, const uint32_t colour[4]) {
  auto* v = static_cast<TexturedVertex*>(VertexBatch_Reserve(gfx::Prim_TriangleFan, e->texture->texture, 24, 4));
  if (!v) return false;
  const float z = Graphics_GetDepth();
  const Pt uv[4] = {{u1, v1}, {u2, v1}, {u2, v2}, {u1, v2}};
  for (int i = 0; i < 4; ++i) v[i] = {p[i].x, p[i].y, z, colour[i], uv[i].x, uv[i].y};
  return true;
}

void Same(uint32_t c, uint32_t out[4]) { out[0] = out[1] = out[2] = out[3] = c; }

// The part clipping of the page-entry Part and General forms.
struct PartClip {
  float x, y, sourceX, sourceY, width, height;
};

PartClip ClipPart(const TexturePageEntry* p, float left, float top, float width, float height, float x, float y,
                  float xScale, float yScale, float angle) {
  PartClip r{x, y, 0, 0, width, height};
  const float c = std::cos(angle), s = std::sin(angle);
  if (float(p->xOffset) > left) {
    const float d = float(p->xOffset) - left;
    r.width -= d;
    r.x += std::trunc(d * c * xScale);
    r.y -= std::trunc(d * s * yScale);
  } else {
    r.sourceX = left - float(p->xOffset);
  }
  if (float(p->yOffset) > top) {
    const float d = float(p->yOffset) - top;
    r.height -= d;
    r.x += std::trunc(d * s * xScale);
    r.y += std::trunc(d * c * yScale);
  } else {
    r.sourceY = top - float(p->yOffset);
  }
  r.width = std::min(r.width, float(p->cropWidth));
  r.height = std::min(r.height, float(p->cropHeight));
  return r;
}

// The first tile position and the count of tiles along one axis.
struct TileRun {
  double first = 0;
  int64_t count = 0;
};

TileRun Advance(double c, double size, double viewStart, double viewLength) {
  // Jump most of the way, then step, so far-off views cost no time.
  if (viewStart > c + size) {
    double k = std::floor((viewStart - c - size) / size);
    if (k > 0) c += k * size;
    while (viewStart > c + size) c += size;
  }
  TileRun r{c, 0};
  const double end = viewStart + viewLength;
  if (c < end) r.count = int64_t(std::ceil((end - c) / size));
  return r;
}

bool Finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

// ---- Device textures ---------------------------------------------------------------

TextureD3D* TextureD3D_Create(int width, int height, int levels, uint32_t flags, int formatKind) {
  if (width < 1 || height < 1) return nullptr;
  const bool rt = flags & kTextureFlagRenderTarget;
  if (!rt) {
    width = RoundSide(width);
    height = RoundSide(height);
  }
  return MakeExact(width, height, levels, formatKind, rt);
}

TextureD3D* TextureD3D_CreateFromPixels(const uint32_t* pixels, int width, int height, TextureImageInfo* info) {
  TextureD3D* t = TextureD3D_Create(width, height, 1, 0, kTexFormatA8R8G8B8);
  if (!t) return nullptr;
  TextureD3D_Upload(t, 0, width, height, pixels);
  if (info) *info = {t->Width(), t->Height(), 32, 0, kTexFormatA8R8G8B8, 0, 0};
  return t;
}

TextureD3D* TextureD3D_CreateFromImage(const uint8_t* data, size_t size, TextureImageInfo* info, int formatKind,
                                       uint32_t flags) {
  if (!data) return nullptr;
  if (size >= 16 && std::memcmp(data, "RAW ", 4) == 0) {
    uint32_t w, h, format;
    std::memcpy(&w, data + 4, 4);
    std::memcpy(&h, data + 8, 4);
    std::memcpy(&format, data + 12, 4);
    if (w < 1 || h < 1 || w > 4096 || h > 4096 || format > 1) return nullptr;
    const size_t bpp = format == 0 ? 4 : 2;
    if ((size - 16) / bpp < size_t(w) * h) return nullptr;
    const uint8_t* src = data + 16;
    TextureD3D* t;
    // The container is never changed: the swapped pixels go to a copy.
    if (format == 0) {
      std::vector<uint32_t> px(size_t(w) * h);
      for (size_t i = 0; i < px.size(); ++i) {
        const uint8_t* p = src + i * 4;
        px[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      }
      t = TextureD3D_Create(int(w), int(h), 1, 0, kTexFormatA8R8G8B8);
      if (t) TextureD3D_Upload(t, 0, int(w), int(h), px.data());
    } else {
      std::vector<uint16_t> px(size_t(w) * h);
      for (size_t i = 0; i < px.size(); ++i) {
        const uint16_t v = uint16_t(src[i * 2] | src[i * 2 + 1] << 8);
        px[i] = uint16_t((v & 0xF) << 12 | (v >> 4 & 0xF) << 8 | (v >> 8 & 0xF) << 4 | (v >> 12 & 0xF));
      }
      t = TextureD3D_Create(int(w), int(h), 1, 0, kTexFormatA4R4G4B4);
      if (t) TextureD3D_Upload(t, 0, int(w), int(h), px.data());
    }
    if (t && info) {
      const int kind = format == 0 ? kTexFormatA8R8G8B8 : kTexFormatA4R4G4B4;
      *info = {int(w), int(h), format == 0 ? 32 : 16, 0, kind, -1, kind};
    }
    return t;
  }
  int w = -1, h = -1;
  uint32_t* px = nullptr;
  bool fromPng = false;
  if (size >= 8 && std::memcmp(data, "\x89PNG", 4) == 0) {
    px = PNG_Load(data, size, &w, &h);
    fromPng = true;
  } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8) {
    px = JPEG_Load(data, size, &w, &h);
  } else if (size >= 6 && std::memcmp(data, "GIF8", 4) == 0) {
    px = GIF_Load(data, size, &w, &h);
  } else if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
    px = DDS_Load(data, size, &w, &h);
  }
  if (!px || w < 1 || h < 1 || w > 8192 || h > 8192) {
    if (px) fromPng ? PNG_Free(px) : MemoryManager::Release(px);
    return nullptr;
  }
  TextureD3D* t = MakeExact(w, h, 1, formatKind == 0 ? kTexFormatA8R8G8B8 : formatKind, false);
  if (t) TextureD3D_Upload(t, 0, w, h, px);
  fromPng ? PNG_Free(px) : MemoryManager::Release(px);
  if (t && info) *info = {w, h, 32, 1, formatKind, 3, 0};
  return t;
}

bool TextureD3D_Upload(TextureD3D* t, int level, int width, int height, const void* pixels) {
  if (!t || !pixels || width < 1 || height < 1) return false;
  // Only level 0 exists on this device.
  if (level != 0) return false;
  const int tw = t->Width(), th = t->Height();
  const int w = std::min(width, tw), h = std::min(height, th);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = t->kept.data() + size_t(y) * tw;
    if (t->formatKind == kTexFormatA4R4G4B4) {
      const uint16_t* src = static_cast<const uint16_t*>(pixels) + size_t(y) * width;
      for (int x = 0; x < w; ++x) row[x] = Expand4444(src[x]);
    } else {
      std::memcpy(row, static_cast<const uint32_t*>(pixels) + size_t(y) * width, size_t(w) * 4);
    }
  }
  gfx::Device* device = Graphics_Device();
  if (!device || !t->texture) return true;
  return device->UpdateTexture(t->texture, 0, 0, tw, th, t->kept.data(), tw);
}

bool TextureD3D_UpdateRect(TextureD3D* t, int x, int y, int width, int height) {
  if (!t) return false;
  if (!t->texture) return true;
  if (t->kept.empty()) return false;
  const int tw = t->Width(), th = t->Height();
  if (x < 0) {
    width += x;
    x = 0;
  }
  if (y < 0) {
    height += y;
    y = 0;
  }
  if (x >= tw || y >= th || width <= 0 || height <= 0) return true;
  width = std::min(width, tw - x);
  height = std::min(height, th - y);
  gfx::Device* device = Graphics_Device();
  if (!device) return true;
  return device->UpdateTexture(t->texture, x, y, width, height, t->kept.data() + size_t(y) * tw + x, tw);
}

void TextureD3D_SetStage(int stage, TextureD3D* t) {
  gfx::Device* device = Graphics_Device();
  if (stage < 0 || stage > 8 || !device) return;
  const gfx::TextureHandle handle = t ? t->texture : 0;
  if (t) t->flags &= ~1u;  // the device samples render targets directly
  if (handle != g_lastStageTexture) ++g_textureChanges;
  g_lastStageTexture = handle;
  device->SetTexture(stage, handle);
}

void TextureD3D_Free(TextureD3D* t) {
  if (!t) return;
  if (t->texture) {
    // Quads already batched with it are drawn before it goes.
    VertexBatch_Flush();
    if (gfx::Device* device = Graphics_Device()) device->ReleaseTexture(t->texture);
    if (g_lastStageTexture == t->texture) g_lastStageTexture = 0;
  }
  if (t->prev) t->prev->next = t->next;
  else g_textures = t->next;
  if (t->next) t->next->prev = t->prev;
  --g_textureCount;
  delete t;
}

bool Graphics_ReadTexturePixels(TextureD3D* t, int x, int y, int width, int height, std::vector<uint32_t>* out) {
  gfx::Device* device = Graphics_Device();
  if (!device || !t || !out || width <= 0 || height <= 0) return false;
  x = std::max(x, 0);
  y = std::max(y, 0);
  const int tw = t->Width(), th = t->Height();
  if (x >= tw || y >= th) return false;
  const int cw = std::min(width, tw - x), ch = std::min(height, th - y);
  if (size_t(width) * size_t(height) > size_t(Image_MaxSide()) * size_t(Image_MaxSide())) return false;
  std::vector<uint32_t> result(size_t(width) * size_t(height), 0);
  if (t->flags & 16) {
    // Everything an ordinary texture holds came through its kept copy.
    for (int r = 0; r < ch; ++r)
      std::copy_n(&t->kept[size_t(y + r) * size_t(tw) + size_t(x)], cw, &result[size_t(r) * size_t(width)]);
  } else {
    if (!t->texture) return false;
    VertexBatch_Flush();
    std::vector<uint32_t> clipped(size_t(cw) * size_t(ch));
    if (!device->ReadPixels(t->texture, x, y, cw, ch, clipped.data())) return false;
    for (int r = 0; r < ch; ++r)
      std::copy_n(&clipped[size_t(r) * size_t(cw)], cw, &result[size_t(r) * size_t(width)]);
  }
  *out = std::move(result);
  return true;
}

void TextureD3D_Flush(TextureD3D*) {}
int Texture_GetMaxSize() { return 4096; }
size_t TextureD3D_LiveCount() { return g_textureCount; }

// ---- Images built into the program -----------------------------------------------------

namespace {
const uint8_t* g_embedded = nullptr;
size_t g_embeddedSize = 0;

uint32_t TableWord(size_t at) {
  uint32_t v;
  std::memcpy(&v, g_embedded + at, 4);
  return v;
}
}  // namespace

void Texture_SetEmbeddedTable(const uint8_t* table, size_t size) {
  g_embedded = table;
  g_embeddedSize = table ? size : 0;
}

int Texture_EmbeddedCount() {
  if (g_embeddedSize < 4) return 0;
  const size_t records = (g_embeddedSize - 4) / 8;
  return int(std::min<size_t>(TableWord(0), std::min<size_t>(records, INT32_MAX)));
}

TextureD3D* Texture_LoadEmbedded(int n) {
  if (n < 0 || n >= Texture_EmbeddedCount()) return nullptr;
  const size_t bytes = TableWord(4 + size_t(n) * 8), offset = TableWord(8 + size_t(n) * 8);
  if (offset > g_embeddedSize || bytes > g_embeddedSize - offset) return nullptr;
  TextureImageInfo info;
  return TextureD3D_CreateFromImage(g_embedded + offset, bytes, &info, kTexFormatDefault, 1);
}

std::vector<uint8_t> Texture_BuildEmbeddedTable(const std::vector<std::vector<uint8_t>>& images) {
  std::vector<uint8_t> table;
  auto put = [&](size_t at, uint32_t v) { std::memcpy(table.data() + at, &v, 4); };
  size_t offset = 4 + images.size() * 8;
  table.resize(offset);
  put(0, uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    put(4 + i * 8, uint32_t(images[i].size()));
    put(8 + i * 8, uint32_t(offset));
    offset += images[i].size();
  }
  for (const auto& image : images) table.insert(table.end(), image.begin(), image.end());
  return table;
}

// ---- The texture table -----------------------------------------------------------------

int Texture_AllocSlot() {
  for (size_t i = 0; i < g_table.size(); ++i)
    if (!g_table[i]->inUse) {
      *g_table[i] = TextureEntry{};
      return int(i);
    }
  g_table.push_back(std::make_unique<TextureEntry>());
  return int(g_table.size() - 1);
}

namespace {
int Store(TextureD3D* t, int imageW, int imageH, float texelW, float texelH) {
  if (!t) return -1;
  const int slot = Texture_AllocSlot();
  TextureEntry& e = *g_table[size_t(slot)];
  e.texture = t;
  e.imageWidth = imageW;
  e.imageHeight = imageH;
  e.texelWidth = texelW;
  e.texelHeight = texelH;
  e.inUse = true;
  return slot;
}
}  // namespace

int Texture_CreateRenderTarget(int width, int height, bool renderTarget) {
  TextureD3D* t = TextureD3D_Create(width, height, 1, renderTarget ? kTextureFlagRenderTarget : 0, kTexFormatA8R8G8B8);
  if (!t) return -1;
  return Store(t, width, height, 1.0f / float(t->Width()), 1.0f / float(t->Height()));
}

int Texture_AddD3D(TextureD3D* t, int width, int height) {
  if (!t || width < 1 || height < 1) return -1;
  return Store(t, width, height, 1.0f / float(width), 1.0f / float(height));
}

int Texture_AddFromPixels(int width, int height, const void* data, size_t byteCount) {
  if (!data || width < 1 || height < 1) return -1;
  TextureImageInfo info;
  TextureD3D* t;
  if (byteCount == size_t(width) * size_t(height) * 4) {
    t = TextureD3D_CreateFromPixels(static_cast<const uint32_t*>(data), width, height, &info);
  } else {
    t = TextureD3D_CreateFromImage(static_cast<const uint8_t*>(data), byteCount, &info, kTexFormatA8R8G8B8, 0);
  }
  if (!t) return -1;
  return Store(t, width, height, 1.0f / float(t->Width()), 1.0f / float(t->Height()));
}

int Texture_AddFromImage(const uint8_t* data, size_t byteCount, uint32_t flags) {
  TextureImageInfo info;
  TextureD3D* t = TextureD3D_CreateFromImage(data, byteCount, &info, kTexFormatA8R8G8B8, flags);
  if (!t) return -1;
  return Store(t, info.width, info.height, 1.0f / float(info.width), 1.0f / float(info.height));
}

int Texture_AddFromBitmap(const CBitmap32* bitmap) {
  if (!bitmap || !bitmap->IsValid()) return -1;
  int bytes = 0;
  const uint32_t* px = bitmap->GetData(&bytes);
  const int w = bitmap->GetWidth(), h = bitmap->GetHeight();
  return Texture_AddFromPixels(w, h, px, size_t(w) * size_t(h) * 4);
}

int Texture_CreateFromAlpha(int width, int height, const uint8_t* alpha) {
  if (!alpha || width < 1 || height < 1) return -1;
  std::vector<uint32_t> px(size_t(width) * size_t(height));
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint32_t(alpha[i]) << 24 | 0x00FFFFFFu;
  const int slot = Texture_CreateRenderTarget(width, height, false);
  if (slot < 0) return -1;
  if (!TextureD3D_Upload(g_table[size_t(slot)]->texture, 0, width, height, px.data())) {
    Texture_Free(slot);
    return -1;
  }
  return slot;
}

bool Texture_Exists(int index) { return Texture_GetEntry(index) != nullptr; }

TextureEntry* Texture_GetEntry(int index) {
  if (index < 0 || size_t(index) >= g_table.size() || !g_table[size_t(index)]->inUse) return nullptr;
  return g_table[size_t(index)].get();
}

int Texture_Count() { return int(g_table.size()); }

void Texture_Free(int index) {
  TextureEntry* e = Texture_GetEntry(index);
  if (!e) return;
  TextureD3D_Free(e->texture);
  e->texture = nullptr;
  e->inUse = false;
}

double Texture_GetWidth(int index) {
  TextureEntry* e = Texture_GetEntry(index);
  return e ? double(e->imageWidth) * double(e->texelWidth) : 1.0;
}

double Texture_GetHeight(int index) {
  TextureEntry* e = Texture_GetEntry(index);
  return e ? double(e->imageHeight) * double(e->texelHeight) : 1.0;
}

// The device keeps every texture resident; there is nothing to preload or
// prioritise.
void Texture_Preload(int) {}
void Texture_SetPriority(int, int) {}

TextureD3D* Texture_GetD3D(int index) {
  TextureEntry* e = Texture_GetEntry(index);
  return e ? e->texture : nullptr;
}

void Texture_ClearTable() { g_table.clear(); }

void Texture_FreeAll() {
  for (auto& e : g_table)
    if (e->inUse) TextureD3D_Free(e->texture);
  g_table.clear();
  g_pageIds.clear();
}

void Texture_Flush() {
  for (TextureD3D* t = g_textures; t; t = t->next) TextureD3D_Flush(t);
}

void Texture_InitBuiltins() {
  // The images built into the program; the particle shapes and the profiler
  // overlay's image take their places in it as those parts arrive.
  static const std::vector<uint8_t> builtin = Texture_BuildEmbeddedTable({});
  Texture_SetEmbeddedTable(builtin.data(), builtin.size());
  Texture_ClearTable();
}
void Texture_Shutdown() {
  Texture_FreeAll();
  TPage_Clear();
}

// ---- Texture-page entries -------------------------------------------------------------

void TPage_Clear() {
  g_pages.clear();
  g_pageByOffset.clear();
  ++g_pageGeneration;
}

void TPage_Load(const ChunkBody& body) {
  const std::vector<uint32_t> list = body.OffsetList();
  const GameDataFile& f = body.File();
  TPage_Clear();
  for (uint32_t off : list) {
    TexturePageEntry e;
    if (off != 0) {
      f.Bytes(off, kTexturePageEntrySize);
      int32_t* fields[] = {&e.x,         &e.y,          &e.width,         &e.height,         &e.xOffset,  &e.yOffset,
                           &e.cropWidth, &e.cropHeight, &e.originalWidth, &e.originalHeight, &e.pageIndex};
      for (int i = 0; i < 11; ++i) *fields[i] = f.U16(off + 2 * uint32_t(i));
      g_pageByOffset.emplace(off, int(g_pages.size()));
    }
    g_pages.push_back(e);
  }
}

bool Texture_LoadPages(const ChunkBody& body) {
  const std::vector<uint32_t> list = body.OffsetList();
  const GameDataFile& f = body.File();
  for (int id : g_pageIds) Texture_Free(id);
  g_pageIds.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    int id = -1;
    if (list[i] != 0) {
      const uint32_t flags = f.U32(list[i]);
      const uint32_t image = f.U32(list[i] + 4);
      if (image == 0 || image >= f.Size()) {
        throw DataError("texture page " + std::to_string(i) + " points to its image at " + std::to_string(image) +
                        ", outside the container");
      }
      // The image runs at most to the end of the container.
      id = Texture_AddFromImage(f.Data() + image, f.Size() - image, flags & 1);
      if (id < 0) Console_Error("Texture page %zu is not an image the engine can read\n", i);
    }
    g_pageIds.push_back(id);
  }
  for (TexturePageEntry& e : g_pages) {
    if (e.pageIndex >= 0 && size_t(e.pageIndex) < g_pageIds.size()) {
      e.texture = g_pageIds[size_t(e.pageIndex)];
    } else {
      g_DebugConsole->Output("what!!!!\n");
      e.texture = -1;
    }
  }
  return true;
}

int TPage_Count() { return int(g_pages.size()); }

TexturePageEntry* TPage_Get(int index) {
  return index >= 0 && size_t(index) < g_pages.size() ? &g_pages[size_t(index)] : nullptr;
}

int TPage_FindByOffset(uint32_t offset) {
  auto it = g_pageByOffset.find(offset);
  return it == g_pageByOffset.end() ? -1 : it->second;
}

uint32_t TPage_Generation() { return g_pageGeneration; }

int TPage_Add(const TexturePageEntry& entry) {
  g_pages.push_back(entry);
  return int(g_pages.size() - 1);
}

int32_t TPage_Handle(int index) {
  return TPage_Get(index) ? kTexturePageHandleBase + int32_t(index) : -1;
}

TexturePageEntry* TPage_FromHandle(int64_t handle) {
  if (handle < kTexturePageHandleBase || handle - kTexturePageHandleBase > INT32_MAX) return nullptr;
  return TPage_Get(int(handle - kTexturePageHandleBase));
}

const std::vector<int>& Texture_PageIds() { return g_pageIds; }

bool TPage_ReadImage(const TexturePageEntry* e, CBitmap32* out) {
  if (!e || !out) return false;
  const int ow = e->originalWidth, oh = e->originalHeight;
  if (ow < 1 || oh < 1 || ow > Image_MaxSide() || oh > Image_MaxSide()) return false;
  std::vector<uint32_t> page;
  if (!Graphics_GetTexturePixels(Texture_GetD3D(e->texture), e->x, e->y, e->width, e->height, &page)) return false;
  // Placed at its offset and clipped to the image, whatever the entry claims.
  std::vector<uint32_t> px(size_t(ow) * size_t(oh), 0);
  for (int r = 0; r < e->height; ++r) {
    const int64_t y = int64_t(e->yOffset) + r;
    if (y < 0 || y >= oh) continue;
    for (int c = 0; c < e->width; ++c) {
      const int64_t x = int64_t(e->xOffset) + c;
      if (x < 0 || x >= ow) continue;
      px[size_t(y) * size_t(ow) + size_t(x)] = page[size_t(r) * size_t(e->width) + size_t(c)];
    }
  }
  *out = CBitmap32::FromPixels(ow, oh, std::move(px));
  return out->IsValid();
}

// ---- Textured quads --------------------------------------------------------------------

void Texture_SetDrawHooks(const TextureDrawHooks& hooks) { g_hooks = hooks; }

uint32_t Texture_ColourToARGB(uint32_t scriptColour, float alpha) {
  return ScriptToDevice(scriptColour, AlphaTrunc(alpha));
}

bool Texture_Draw(int texture, float x, float y) {
  TextureEntry* e = Drawable(texture);
  if (!e) return false;
  uint32_t c[4];
  Same(ScriptToDevice(0xFFFFFF, AlphaTrunc(g_hooks.alpha ? g_hooks.alpha() : 1.0f)), c);
  const Pt p[4] = {{x, y},
                   {x + float(e->imageWidth), y},
                   {x + float(e->imageWidth), y + float(e->imageHeight)},
                   {x, y + float(e->imageHeight)}};
  return StdQuad(e, p, 0, 0, float(e->imageWidth) * e->texelWidth, float(e->imageHeight) * e->texelHeight, c);
}

namespace {
void PageUV(const TextureEntry* e, const TexturePageEntry* p, float* u1, float* v1, float* u2, float* v2) {
  *u1 = float(p->x) * e->texelWidth;
  *v1 = float(p->y) * e->texelHeight;
  *u2 = float(p->x + p->width) * e->texelWidth;
  *v2 = float(p->y + p->height) * e->texelHeight;
}
}  // namespace

bool TPage_Draw(TexturePageEntry* p, float x, float y) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  RepairTarget(p);
  uint32_t c[4];
  Same(ScriptToDevice(0xFFFFFF, AlphaTrunc(g_hooks.alpha ? g_hooks.alpha() : 1.0f)), c);
  const float l = x + float(p->xOffset), t = y + float(p->yOffset);
  const Pt q[4] = {{l, t}, {l + float(p->cropWidth), t}, {l + float(p->cropWidth), t + float(p->cropHeight)},
                   {l, t + float(p->cropHeight)}};
  float u1, v1, u2, v2;
  PageUV(e, p, &u1, &v1, &u2, &v2);
  return StdQuad(e, q, u1, v1, u2, v2, c);
}

bool TPage_DrawQuad(TexturePageEntry* p, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                    float y4, uint32_t colour, float alpha) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  const Pt q[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  float u1, v1, u2, v2;
  PageUV(e, p, &u1, &v1, &u2, &v2);
  return StdQuad(e, q, u1, v1, u2, v2, c);
}

bool Texture_DrawExt(int texture, float xo, float yo, float x, float y, float xs, float ys, float angle,
                     uint32_t colour, float alpha) {
  TextureEntry* e = Drawable(texture);
  if (!e) return false;
  if (e->imageWidth == 0 || e->imageHeight == 0) {
    e->imageWidth = e->imageHeight = 8;
    e->texelWidth = e->texelHeight = 0.125f;
  }
  Pt q[4];
  Corners(x, y, -xo * xs, -yo * ys, (float(e->imageWidth) - xo) * xs, (float(e->imageHeight) - yo) * ys, angle,
          0.001f, q);
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  return FanQuad(e, q, 0, 0, float(e->imageWidth) * e->texelWidth, float(e->imageHeight) * e->texelHeight, c);
}

bool TPage_DrawExt(TexturePageEntry* p, float xo, float yo, float x, float y, float xs, float ys, float angle,
                   uint32_t colour, float alpha) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  RepairTarget(p);
  const float left = (float(p->xOffset) - xo) * xs, top = (float(p->yOffset) - yo) * ys;
  Pt q[4];
  Corners(x, y, left, top, left + float(p->cropWidth) * xs, top + float(p->cropHeight) * ys, angle, 0.001f, q);
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  float u1, v1, u2, v2;
  PageUV(e, p, &u1, &v1, &u2, &v2);
  return StdQuad(e, q, u1, v1, u2, v2, c);
}

bool Texture_DrawPart(int texture, float left, float top, float width, float height, float x, float y, float xs,
                      float ys, float angle, uint32_t colour, float alpha) {
  TextureEntry* e = Drawable(texture);
  if (!e) return false;
  Pt q[4];
  Corners(x, y, 0, 0, width * xs, height * ys, angle, 0.001f, q);
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  return FanQuad(e, q, left * e->texelWidth, top * e->texelHeight, (left + width) * e->texelWidth,
                 (top + height) * e->texelHeight, c);
}

bool TPage_DrawPart(TexturePageEntry* p, float left, float top, float width, float height, float x, float y,
                    float xs, float ys, float angle, uint32_t colour, float alpha) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  RepairTarget(p);
  const PartClip r = ClipPart(p, left, top, width, height, x, y, xs, ys, angle);
  Pt q[4];
  Corners(r.x, r.y, 0, 0, r.width * xs, r.height * ys, angle, 0.001f, q);
  const float rx = float(p->width) / float(p->cropWidth), ry = float(p->height) / float(p->cropHeight);
  const float u1 = (float(p->x) + rx * r.sourceX) * e->texelWidth;
  const float v1 = (float(p->y) + ry * r.sourceY) * e->texelHeight;
  const float u2 = (float(p->x) + rx * r.sourceX + rx * r.width) * e->texelWidth;
  const float v2 = (float(p->y) + ry * r.sourceY + ry * r.height) * e->texelHeight;
  const Pt uv[4] = {{u1, v1}, {u2, v1}, {u2, v2}, {u1, v2}};
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  static constexpr int kOrder[6] = {0, 1, 3, 1, 2, 3};
  return ListQuad(e, q, uv, c, kOrder, kOrder);
}

bool Texture_DrawGeneral(int texture, float left, float top, float width, float height, float x, float y, float xs,
                         float ys, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
  TextureEntry* e = Drawable(texture);
  if (!e) return false;
  const uint8_t a = AlphaTrunc(alpha);
  const uint32_t c[4] = {ScriptToDevice(c1, a), ScriptToDevice(c2, a), ScriptToDevice(c3, a), ScriptToDevice(c4, a)};
  const float w = width * xs, h = height * ys;
  Pt q[4];
  if (std::fabs(angle) < 0.01f) Corners(x, y, 0, 0, w, h, 0, 1, q);
  else Corners(x, y, -0.5f, -0.5f, w, h, angle, 0, q);
  return FanQuad(e, q, left * e->texelWidth, top * e->texelHeight, (left + width) * e->texelWidth,
                 (top + height) * e->texelHeight, c);
}

bool TPage_DrawGeneral(TexturePageEntry* p, float left, float top, float width, float height, float x, float y,
                       float xs, float ys, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                       float alpha) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  RepairTarget(p);
  const uint8_t a = AlphaNearest(alpha);
  const uint32_t c[4] = {ScriptToDevice(c1, a), ScriptToDevice(c2, a), ScriptToDevice(c3, a), ScriptToDevice(c4, a)};
  const PartClip r = ClipPart(p, left, top, width, height, x, y, xs, ys, angle);
  Pt q[4];
  Corners(r.x, r.y, 0, 0, r.width * xs, r.height * ys, angle, 0.01f, q);
  const float corners[8] = {q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y, q[3].x, q[3].y};
  return Texture_DrawQuadCorners(e->texture, corners, (float(p->x) + r.sourceX) * e->texelWidth,
                                 (float(p->y) + r.sourceY) * e->texelHeight,
                                 (float(p->x) + r.sourceX + r.width) * e->texelWidth,
                                 (float(p->y) + r.sourceY + r.height) * e->texelHeight, c);
}

bool Texture_DrawQuadCorners(TextureD3D* texture, const float corners[8], float uLeft, float vTop, float uRight,
                             float vBottom, const uint32_t colours[4]) {
  if (!texture) return false;
  TextureEntry e;
  e.texture = texture;
  const Pt q[4] = {{corners[0], corners[1]}, {corners[2], corners[3]}, {corners[4], corners[5]},
                   {corners[6], corners[7]}};
  return StdQuad(&e, q, uLeft, vTop, uRight, vBottom, colours);
}

bool Texture_DrawTiled(int texture, float xo, float yo, float x, float y, float xs, float ys, bool tileH, bool tileV,
                       float vl, float vt, float vw, float vh, uint32_t colour, float alpha) {
  TextureEntry* e = Drawable(texture);
  if (!e) return false;
  if (!Finite({xo, yo, x, y, xs, ys, vl, vt, vw, vh})) return false;
  const int64_t tw = Real_ToInt32(double(e->imageWidth) * xs), th = Real_ToInt32(double(e->imageHeight) * ys);
  if (tw <= 0 || th <= 0) return true;
  auto start = [](float pos, int64_t size, bool tile, float viewStart, float viewLength) {
    const int64_t n = Real_RoundToInt32(pos);
    if (!tile) return TileRun{double(n), 1};
    int64_t c = n % size;
    if (c > 0) c -= size;
    return Advance(double(c), double(size), viewStart, viewLength);
  };
  const TileRun cols = start(x, tw, tileH, vl, vw), rows = start(y, th, tileV, vt, vh);
  if (cols.count * rows.count > kMaxTiles) return false;
  uint32_t c[4];
  Same(ScriptToDevice(colour, AlphaNearest(alpha)), c);
  const float w = float(e->imageWidth) * xs, h = float(e->imageHeight) * ys;
  const float u2 = float(e->imageWidth) * e->texelWidth, v2 = float(e->imageHeight) * e->texelHeight;
  for (int64_t j = 0; j < rows.count; ++j) {
    for (int64_t i = 0; i < cols.count; ++i) {
      const float l = float(cols.first + double(i * tw)) - xo * xs, t = float(rows.first + double(j * th)) - yo * ys;
      const Pt q[4] = {{l, t}, {l + w, t}, {l + w, t + h}, {l, t + h}};
      if (!FanQuad(e, q, 0, 0, u2, v2, c)) return false;
    }
  }
  return true;
}

bool TPage_DrawTiled(TexturePageEntry* p, float xo, float yo, float x, float y, float xs, float ys, bool tileH,
                     bool tileV, float vl, float vt, float vw, float vh, uint32_t colour, float alpha) {
  TextureEntry* e = DrawablePage(p);
  if (!e) return false;
  if (!Finite({xo, yo, x, y, xs, ys, vl, vt, vw, vh})) return false;
  RepairTarget(p);
  const double tw = std::trunc(double(xs * float(p->originalWidth)));
  const double th = std::trunc(double(ys * float(p->originalHeight)));
  if (tw <= 0 || th <= 0) return true;
  auto start = [](double c0, double size, bool tile, float viewStart, float viewLength) {
    if (!tile) return TileRun{c0, 1};
    double c = std::fmod(c0, size);
    if (c > 0) c -= size;
    TileRun r = Advance(c, size, viewStart, viewLength);
    c = r.first;
    if (c >= double(viewStart) + size) c -= size * std::floor((c - double(viewStart)) / size);
    while (c >= double(viewStart) + size) c -= size;
    c -= size;
    const double end = double(viewStart) + double(viewLength);
    return TileRun{c, c < end ? int64_t(std::ceil((end - c) / size)) : 0};
  };
  const double c0 = std::trunc(double((float(p->xOffset) - xo) * xs)) + std::trunc(double(x));
  const double r0 = std::trunc(double((float(p->yOffset) - yo) * ys)) + std::trunc(double(y));
  const TileRun cols = start(c0, tw, tileH, vl, vw), rows = start(r0, th, tileV, vt, vh);
  if (cols.count * rows.count > kMaxTiles) return false;
  uint32_t c[4];
  Same(Texture_ColourToARGB(colour, alpha), c);
  float u1, v1, u2, v2;
  PageUV(e, p, &u1, &v1, &u2, &v2);
  const float w = float(p->cropWidth) * xs, h = float(p->cropHeight) * ys;
  // Bottom-left first: corner ids 0 bottom-left, 1 top-left, 2 top-right,
  // 3 bottom-right.
  static constexpr int kOrder[6] = {3, 0, 1, 1, 2, 3};
  static constexpr int kIds[6] = {0, 1, 2, 2, 3, 0};
  const Pt uv[4] = {{u1, v1}, {u2, v1}, {u2, v2}, {u1, v2}};
  for (int64_t j = 0; j < rows.count; ++j) {
    for (int64_t i = 0; i < cols.count; ++i) {
      const float l = float(cols.first + double(i) * tw), t = float(rows.first + double(j) * th);
      const Pt q[4] = {{l, t}, {l + w, t}, {l + w, t + h}, {l, t + h}};
      if (!ListQuad(e, q, uv, c, kOrder, kIds)) return false;
    }
  }
  return true;
}
