#include "sprites/sprites.h"

#include "core/precise.h"

#include <algorithm>
#include <cmath>

#include "script/console.h"
#include "core/instances.h"
#include "graphics/matrices.h"
#include "graphics/viewport.h"
#include "graphics/textures.h"
#include "script/convert.h"

namespace {

struct SpriteTable {
  std::vector<std::unique_ptr<CSprite>> sprites;
  std::vector<std::string> names;
};
SpriteTable g_sprites;

constexpr float kPiSingle = 3.1415927410125732f;
constexpr uint32_t kRecordHeader = 60;

float Radians(float degrees) { return float(double(degrees) * double(kPiSingle) / 180.0); }

bool ShapeOf(int32_t index, SpriteShape* out) {
  const CSprite* s = Sprite_Get(index);
  if (!s) return false;
  out->frames = s->frameCount;
  out->left = s->bboxLeft;
  out->top = s->bboxTop;
  out->right = s->bboxRight;
  out->bottom = s->bboxBottom;
  out->origin_x = s->xOrigin;
  out->origin_y = s->yOrigin;
  out->precise = s->precise;
  out->width = s->width;
  out->height = s->height;
  return true;
}

bool MaskOf(int32_t index, MaskView* out) {
  const CSprite* s = Sprite_Get(index);
  if (!s) return false;
  *out = MaskView{s->width, s->height, s->xOrigin, s->yOrigin, s->frameCount, s->hasMasks, &s->masks};
  return true;
}

void InstallLookup() {
  Instance_SetSpriteLookup(ShapeOf);
  Precise_SetMaskLookup(MaskOf);
}

int Append(std::unique_ptr<CSprite> sprite) {
  const int index = int(g_sprites.sprites.size());
  sprite->index = index;
  sprite->name = "__newsprite" + std::to_string(index);
  g_sprites.names.push_back(sprite->name);
  g_sprites.sprites.push_back(std::move(sprite));
  InstallLookup();
  return index;
}

struct ViewRect {
  float left, top, right, bottom;
};

ViewRect CurrentView() {
  ViewRect r;
  Graphics_GetViewRect(&r.left, &r.top, &r.right, &r.bottom);
  return r;
}

bool Outside(const ViewRect& v, float x, float y, float reachX, float reachY) {
  return v.top - y > reachY || y - v.bottom > reachY || v.left - x > reachX || x - v.right > reachX;
}

}  // namespace

// ---- CSprite ---------------------------------------------------------------------------

CSprite::CSprite() { Clear(); }
CSprite::~CSprite() { Clear(); }

void CSprite::Clear() {
  localEntries_.clear();
  ownEntries_ = false;
  bitmaps.clear();
  for (int32_t t : textures)
    if (t != -1) Texture_Free(t);
  textures.clear();
  entryOffsets_.clear();
  tableEntries_.clear();
  entryIndex_.clear();
  entryGeneration_ = 0;
  frameCount = 0;
  width = height = 1;
  transparent = true;
  smooth = false;
  preload = true;
  bboxMode = 0;
  precise = true;
  xOrigin = yOrigin = 0;
  bboxLeft = bboxTop = bboxRight = bboxBottom = 0;
  radius = 0;
  FreeMasks();
  fileMasks_.clear();
  masksFromFile_ = false;
  name.clear();
  index = 0;
}

bool CSprite::LoadFromChunk(const GameDataFile& f, uint32_t r) {
  Clear();
  f.Bytes(r, kRecordHeader);
  name = std::string(f.String(f.U32(r)));
  width = f.S32(r + 4);
  height = f.S32(r + 8);
  bboxLeft = f.S32(r + 12);
  bboxRight = f.S32(r + 16);
  bboxBottom = f.S32(r + 20);
  bboxTop = f.S32(r + 24);
  transparent = f.U32(r + 28) != 0;
  smooth = f.U32(r + 32) != 0;
  preload = f.U32(r + 36) != 0;
  bboxMode = f.S32(r + 40);
  precise = f.U32(r + 44) != 0;
  xOrigin = f.S32(r + 48);
  yOrigin = f.S32(r + 52);
  const uint32_t frames = f.U32(r + 56);
  const uint32_t after = r + kRecordHeader;
  if (frames > (f.Size() - after) / 4) {
    throw DataError("sprite \"" + name + "\" lists " + std::to_string(frames) +
                    " frames, more than the container holds");
  }
  entryOffsets_.resize(frames);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t e = f.U32(after + 4 * i);
    if (e != 0) f.Bytes(e, kTexturePageEntrySize);
    entryOffsets_[i] = e;
  }
  frameCount = int32_t(frames);
  ComputeRadius();

  const uint32_t maskAt = after + 4 * frames;
  const uint32_t maskCount = f.U32(maskAt);
  if (maskCount == 0) return true;
  if (maskCount != 1 && maskCount != frames) {
    throw DataError("sprite \"" + name + "\" has " + std::to_string(maskCount) + " masks for " +
                    std::to_string(frames) + " frames");
  }
  if (width < 1 || height < 1) {
    throw DataError("sprite \"" + name + "\" has masks but a size of " + std::to_string(width) + " x " +
                    std::to_string(height));
  }
  const uint64_t rowBytes = (uint64_t(width) + 7) / 8;
  const uint64_t maskBytes = rowBytes * uint64_t(height);
  if (maskBytes * maskCount > uint64_t(f.Size()) - (maskAt + 4)) {
    throw DataError("the masks of sprite \"" + name + "\" run past the end of the container");
  }
  const uint8_t* bits = f.Data() + maskAt + 4;
  masks.resize(maskCount);
  for (uint32_t m = 0; m < maskCount; ++m) {
    std::vector<uint8_t>& cells = masks[m];
    cells.resize(size_t(width) * size_t(height));
    const uint8_t* base = bits + m * maskBytes;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = base + size_t(y) * rowBytes;
      for (int x = 0; x < width; ++x) cells[size_t(y) * width + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  }
  hasMasks = true;
  masksFromFile_ = true;
  return true;
}

void CSprite::ComputeRadius() {
  const int32_t corners[4][2] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
  int32_t best = 0;
  for (const auto& c : corners) {
    // Origins from the file may lie anywhere in 32 bits: the difference needs 64.
    const float dx = float(int64_t(c[0]) - xOrigin), dy = float(int64_t(c[1]) - yOrigin);
    best = std::max(best, Real_ToInt32(std::ceil(std::sqrt(dx * dx + dy * dy))));
  }
  radius = best;
}

int CSprite::WrapFrame(int frame) const {
  if (frameCount < 1) return -1;
  int f = frame % frameCount;
  return f < 0 ? f + frameCount : f;
}

void CSprite::ResolveEntries() const {
  if (entryGeneration_ == TPage_Generation() && entryIndex_.size() == entryOffsets_.size()) return;
  entryIndex_.resize(entryOffsets_.size());
  for (size_t i = 0; i < entryOffsets_.size(); ++i)
    entryIndex_[i] = entryOffsets_[i] ? TPage_FindByOffset(entryOffsets_[i]) : -1;
  entryGeneration_ = TPage_Generation();
}

void CSprite::SetFrameEntries(std::vector<int32_t> pageIndices) {
  entryOffsets_.clear();
  tableEntries_ = std::move(pageIndices);
  frameCount = int32_t(tableEntries_.size());
}

TexturePageEntry* CSprite::FrameEntry(int frame) const {
  const int f = WrapFrame(frame);
  if (f < 0) return nullptr;
  if (!localEntries_.empty()) {
    return size_t(f) < localEntries_.size() ? const_cast<TexturePageEntry*>(&localEntries_[size_t(f)]) : nullptr;
  }
  if (!tableEntries_.empty()) return size_t(f) < tableEntries_.size() ? TPage_Get(tableEntries_[size_t(f)]) : nullptr;
  if (f < 0 || size_t(f) >= entryOffsets_.size()) return nullptr;
  ResolveEntries();
  return TPage_Get(entryIndex_[size_t(f)]);
}

int CSprite::FrameTexture(int frame) const {
  const int f = WrapFrame(frame);
  return f >= 0 && size_t(f) < textures.size() ? textures[size_t(f)] : -1;
}

bool CSprite::MaskSolid(int frame, int x, int y) const {
  if (masks.empty()) return true;
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  int m = frame % int(masks.size());
  if (m < 0) m += int(masks.size());
  return masks[size_t(m)][size_t(y) * size_t(width) + size_t(x)] != 0;
}

void CSprite::DrawFailed(bool log) const {
  if (log) g_DebugConsole->Output("Error attempting to draw sprite %s\n", name.c_str());
}

void CSprite::Draw(int frame, float x, float y) {
  if (frameCount < 1) return;
  if (!Projection_IsCustomOrthographic() &&
      Outside(CurrentView(), x, y, float(radius), float(radius)))
    return;
  const float px = x - float(xOrigin), py = y - float(yOrigin);
  bool ok;
  if (HasEntries()) ok = TPage_Draw(FrameEntry(frame), px, py);
  else ok = Texture_Draw(FrameTexture(frame), px, py);
  if (!ok) DrawFailed(true);
}

void CSprite::DrawExt(int frame, float x, float y, float xScale, float yScale, float angle, uint32_t colour,
                      float alpha) {
  if (frameCount < 1) return;
  if (!Graphics_Is3DMode() && !Projection_IsCustomOrthographic()) {
    const float reach = std::max(std::fabs(float(radius) * xScale), std::fabs(float(radius) * yScale));
    if (Outside(CurrentView(), x, y, reach, reach)) return;
  }
  const float a = Radians(angle);
  bool ok;
  if (HasEntries()) {
    ok = TPage_DrawExt(FrameEntry(frame), float(xOrigin), float(yOrigin), x, y, xScale, yScale, a, colour, alpha);
  } else {
    ok = Texture_DrawExt(FrameTexture(frame), float(xOrigin), float(yOrigin), x, y, xScale, yScale, a, colour,
                         alpha);
  }
  if (!ok) DrawFailed(true);
}

void CSprite::DrawPos(int frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                      uint32_t colour, float alpha) {
  if (frameCount < 1 || !HasEntries()) return;
  TexturePageEntry* e = FrameEntry(frame);
  if (!TPage_DrawQuad(e, x1, y1, x2, y2, x3, y3, x4, y4, colour, alpha)) DrawFailed(e != nullptr);
}

void CSprite::DrawStretched(int frame, float x, float y, float w, float h, uint32_t colour, float alpha) {
  if (frameCount < 1 || w <= 0 || h <= 0 || width <= 0 || height <= 0) return;
  const float xs = w / float(width), ys = h / float(height);
  bool ok;
  if (HasEntries()) ok = TPage_DrawExt(FrameEntry(frame), 0, 0, x, y, xs, ys, 0, colour, alpha);
  else ok = Texture_DrawExt(FrameTexture(frame), 0, 0, x, y, xs, ys, 0, colour, alpha);
  if (!ok) DrawFailed(true);
}

void CSprite::DrawPart(int frame, float left, float top, float w, float h, float x, float y, float xScale,
                       float yScale, uint32_t colour, float alpha) {
  if (frameCount < 1) return;
  bool ok;
  if (HasEntries()) {
    ok = TPage_DrawPart(FrameEntry(frame), left, top, w, h, x, y, xScale, yScale, 0, colour, alpha);
  } else {
    ok = Texture_DrawPart(FrameTexture(frame), left, top, w, h, x, y, xScale, yScale, 0, colour, alpha);
  }
  if (!ok) DrawFailed(true);
}

void CSprite::DrawGeneral(int frame, float left, float top, float w, float h, float x, float y, float xScale,
                          float yScale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                          float alpha) {
  if (frameCount < 1) return;
  if (!Projection_IsCustomOrthographic() &&
      Outside(CurrentView(), x, y, std::fabs(float(radius) * xScale), std::fabs(float(radius) * yScale)))
    return;
  const float a = Radians(angle);
  bool ok;
  if (HasEntries()) {
    ok = TPage_DrawGeneral(FrameEntry(frame), left, top, w, h, x, y, xScale, yScale, a, c1, c2, c3, c4, alpha);
  } else {
    ok = Texture_DrawGeneral(FrameTexture(frame), left, top, w, h, x, y, xScale, yScale, a, c1, c2, c3, c4, alpha);
  }
  if (!ok) DrawFailed(true);
}

void CSprite::DrawTiled(int frame, float x, float y, float xScale, float yScale, bool tileH, bool tileV, float vx,
                        float vy, float vw, float vh, uint32_t colour, float alpha) {
  if (frameCount < 1) return;
  bool ok;
  if (HasEntries()) {
    ok = TPage_DrawTiled(FrameEntry(frame), float(xOrigin), float(yOrigin), x, y, xScale, yScale, tileH, tileV, vx,
                         vy, vw, vh, colour, alpha);
  } else {
    ok = Texture_DrawTiled(FrameTexture(frame), float(xOrigin), float(yOrigin), x, y, xScale, yScale, tileH, tileV,
                           vx, vy, vw, vh, colour, alpha);
  }
  if (!ok) DrawFailed(true);
}

// ---- The sprite table --------------------------------------------------------------------

bool Sprite_Load(const ChunkBody& body) {
  const std::vector<uint32_t> list = body.OffsetList();
  Sprite_FreeAll();
  g_sprites.sprites.resize(list.size());
  g_sprites.names.resize(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == 0) continue;
    auto s = std::make_unique<CSprite>();
    s->LoadFromChunk(body.File(), list[i]);
    s->index = int32_t(i);
    g_sprites.names[i] = s->name;
    g_sprites.sprites[i] = std::move(s);
  }
  InstallLookup();
  return true;
}

void Sprite_FreeAll() {
  g_sprites.sprites.clear();
  g_sprites.names.clear();
  InstallLookup();
}

void Sprite_Clear() { Sprite_FreeAll(); }

// Data-file sprites draw from their pages and get nothing here.
void Sprite_InitTextures() {
  for (auto& s : g_sprites.sprites) {
    if (!s) continue;
    s->InitTexture();
    s->InitLocalTPE();
  }
}

void Sprite_Shutdown() {
  for (auto& s : g_sprites.sprites)
    if (s) s->FreeTextures();
  Sprite_FreeAll();
}

int Sprite_Count() { return int(g_sprites.sprites.size()); }

bool Sprite_Exists(int index) { return Sprite_Get(index) != nullptr; }

CSprite* Sprite_Get(int index) {
  if (index < 0 || size_t(index) >= g_sprites.sprites.size()) return nullptr;
  return g_sprites.sprites[size_t(index)].get();
}

const char* Sprite_GetName(int index) {
  if (!Sprite_Exists(index)) return "<undefined>";
  return g_sprites.names[size_t(index)].c_str();
}

int Sprite_Find(const std::string& name) {
  for (size_t i = 0; i < g_sprites.sprites.size(); ++i)
    if (g_sprites.sprites[i] && g_sprites.names[i] == name) return int(i);
  return -1;
}

int Sprite_CreateNew() { return Append(std::make_unique<CSprite>()); }

int Sprite_Append(std::unique_ptr<CSprite> sprite) { return Append(std::move(sprite)); }

CSprite* Sprite_GetOrMake(int index) {
  if (index < 0 || size_t(index) >= g_sprites.sprites.size()) return nullptr;
  auto& slot = g_sprites.sprites[size_t(index)];
  if (!slot) {
    slot = std::make_unique<CSprite>();
    if (g_sprites.names[size_t(index)].empty())
      g_sprites.names[size_t(index)] = "__newsprite" + std::to_string(index);
    slot->index = index;
    slot->name = g_sprites.names[size_t(index)];
  }
  return slot.get();
}

bool Sprite_Delete(int index) {
  if (!Sprite_Exists(index)) return false;
  g_sprites.sprites[size_t(index)].reset();
  g_sprites.names[size_t(index)].clear();
  return true;
}

int Sprite_Duplicate(int index) {
  const CSprite* source = Sprite_Get(index);
  if (!source) return -1;
  auto copy = std::make_unique<CSprite>();
  copy->Copy(*source);
  // Frames on the pages become bitmaps of the copy's own, so that it can be
  // changed without touching the original.
  if (copy->bitmaps.empty() && copy->HasSharedEntries() && copy->CopyFramesFromPages()) {
    copy->DropSharedEntries();
    copy->InitTexture();
    copy->InitLocalTPE();
  }
  return Append(std::move(copy));
}

bool Sprite_Assign(int destination, int source) {
  const CSprite* s = Sprite_Get(source);
  if (!s || destination < 0 || size_t(destination) >= g_sprites.sprites.size()) return false;
  if (destination == source) return true;
  auto& slot = g_sprites.sprites[size_t(destination)];
  if (!slot) slot = std::make_unique<CSprite>();
  slot->Copy(*s);
  slot->index = destination;
  if (g_sprites.names[size_t(destination)].empty())
    g_sprites.names[size_t(destination)] = "__newsprite" + std::to_string(destination);
  slot->name = g_sprites.names[size_t(destination)];
  return true;
}

void Sprite_DrawInstanceDefault(CObjInstance* i) {
  CSprite* s = Sprite_Get(i->sprite_index);
  if (!s) return;
  if (i->image_xscale == 1.0f && i->image_yscale == 1.0f && i->image_angle == 0.0f && i->image_blend == 0xFFFFFF &&
      i->image_alpha == 1.0f) {
    s->Draw(Real_ToInt32(std::floor(double(i->image_index))), i->x, i->y);
  } else {
    s->DrawExt(Real_ToInt32(i->image_index), i->x, i->y, i->image_xscale, i->image_yscale, i->image_angle,
               i->image_blend, i->image_alpha);
  }
}

