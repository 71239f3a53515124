// The run-time side of sprites: frame bitmaps, the bounding box worked out
// from their pixels, collision masks, the frames' own textures and page
// entries, copying, and reading frames back from the texture pages.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "script/console.h"
#include "graphics/batching.h"
#include "graphics/image_codecs.h"
#include "graphics/render_states.h"
#include "sprites/sprites.h"

namespace {

uint8_t AlphaAt(const CBitmap32* bitmap, int x, int y) {
  if (!bitmap || !bitmap->IsValid() || x >= bitmap->GetWidth() || y >= bitmap->GetHeight()) return 0;
  return uint8_t(bitmap->At(x, y) >> 24);
}

// The last column or row of a size; a size from a damaged data file may
// be INT32_MIN, whose predecessor does not exist.
int32_t LastPixel(int32_t size) { return size > INT32_MIN ? size - 1 : size; }

}  // namespace

void CSprite::ComputeBoundingBox() {
  ComputeRadius();
  if (bboxMode == 2) return;
  if (bboxMode == 1 || !transparent) {
    bboxLeft = bboxTop = 0;
    bboxRight = LastPixel(width);
    bboxBottom = LastPixel(height);
    return;
  }
  if (frameCount < 1) {
    bboxLeft = bboxTop = bboxRight = bboxBottom = 0;
    return;
  }
  // Frames on data-file pages keep the box the data file gives: there are
  // no pixels here to work it out from.
  if (bitmaps.empty()) return;
  int32_t left = width - 1, top = height - 1, right = 0, bottom = 0;
  for (const CBitmap32& b : bitmaps) {
    const std::optional<BitmapBounds> r = b.GetBounds();
    if (!r) continue;
    left = std::min(left, r->left);
    top = std::min(top, r->top);
    right = std::max(right, r->right);
    bottom = std::max(bottom, r->bottom);
  }
  bboxLeft = left;
  bboxTop = top;
  bboxRight = right;
  bboxBottom = bottom;
}

void CSprite::SetBoundingBox(int left, int top, int right, int bottom) {
  if (bboxMode != 2) return;
  bboxLeft = left;
  bboxTop = top;
  bboxRight = right;
  bboxBottom = bottom;
}

void CSprite::SetBoundingBoxMode(int mode) {
  if (mode < 0 || mode > 2 || mode == bboxMode) return;
  bboxMode = mode;
  ComputeBoundingBox();
}

void CSprite::SetPrecise(bool flag) {
  if (flag == precise) return;
  precise = flag;
  CreateMask();
}

void CSprite::FillMask(const std::vector<uint8_t>* previous, std::vector<uint8_t>& mask, const CBitmap32* bitmap,
                       int kind, int tolerance) const {
  const int w = std::max(width, 0), h = std::max(height, 0);
  mask.assign(size_t(w) * size_t(h), 0);
  if (kind == 0) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) mask[size_t(y) * size_t(w) + size_t(x)] = int(AlphaAt(bitmap, x, y)) > tolerance;
  } else if (kind >= 1 && kind <= 3) {
    // The box may reach outside the frame (a manual box); only cells inside
    // are visited, but the shape is that of the whole box.
    const int64_t cx = (int64_t(bboxLeft) + bboxRight) / 2, cy = (int64_t(bboxTop) + bboxBottom) / 2;
    const float rx = float(cx - bboxLeft) + 0.5f, ry = float(cy - bboxTop) + 0.5f;
    const int x0 = std::max(bboxLeft, 0), x1 = std::min(bboxRight, w - 1);
    const int y0 = std::max(bboxTop, 0), y1 = std::min(bboxBottom, h - 1);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        bool solid = kind == 1;
        if (kind != 1 && rx > 0 && ry > 0) {
          const float dx = float(x - cx) / rx, dy = float(y - cy) / ry;
          solid = kind == 2 ? dx * dx + dy * dy < 1.0f : std::fabs(dx) + std::fabs(dy) < 1.0f;
        }
        if (solid) mask[size_t(y) * size_t(w) + size_t(x)] = 1;
      }
    }
  }
  if (previous) {
    const size_t n = std::min(previous->size(), mask.size());
    for (size_t i = 0; i < n; ++i)
      if ((*previous)[i]) mask[i] = 1;
  }
}

void CSprite::CreateMask() {
  FreeMasks();
  if (!precise || !transparent) return;
  if (HasSharedEntries()) {
    // No pixels to build masks from: the data file's come back instead.
    if (!fileMasks_.empty()) {
      masks = std::move(fileMasks_);
      fileMasks_.clear();
      hasMasks = true;
      masksFromFile_ = true;
    }
    return;
  }
  if (frameCount < 1 || width < 1 || height < 1) return;
  masks.resize(size_t(frameCount));
  for (int f = 0; f < frameCount; ++f) {
    const CBitmap32* b = size_t(f) < bitmaps.size() ? &bitmaps[size_t(f)] : nullptr;
    FillMask(nullptr, masks[size_t(f)], b, 0, 0);
  }
  hasMasks = true;
}

void CSprite::CreateMaskExt(bool separate, int boxMode, int left, int top, int right, int bottom, int kind,
                            int tolerance) {
  FreeMasks();
  // Alpha masks need the frames' pixels; the shapes of the box do not, so
  // frames on data-file pages get those too.
  if (HasSharedEntries() && (kind < 1 || kind > 3)) return;
  if (boxMode == 0 || boxMode == 1) {
    bboxLeft = bboxTop = 0;
    bboxRight = LastPixel(width);
    bboxBottom = LastPixel(height);
  } else if (boxMode == 2) {
    bboxLeft = left;
    bboxTop = top;
    bboxRight = right;
    bboxBottom = bottom;
  }
  if (frameCount < 1 || width < 1 || height < 1) return;
  masks.resize(size_t(frameCount));
  for (int f = 0; f < frameCount; ++f) {
    const CBitmap32* b = size_t(f) < bitmaps.size() ? &bitmaps[size_t(f)] : nullptr;
    FillMask(separate || f == 0 ? nullptr : &masks[0], masks[size_t(f)], b, kind, tolerance);
  }
  hasMasks = true;
}

void CSprite::FreeMasks() {
  if (masksFromFile_) fileMasks_ = std::move(masks);
  masksFromFile_ = false;
  masks.clear();
  hasMasks = false;
}

void CSprite::FreeTextures() {
  for (int32_t& t : textures) {
    if (t != -1) Texture_Free(t);
    t = -1;
  }
  for (TexturePageEntry& e : localEntries_) e.texture = -1;
}

void CSprite::InitTexture() {
  FreeTextures();
  if (HasSharedEntries()) return;
  textures.assign(size_t(std::max(frameCount, 0)), -1);
  for (size_t f = 0; f < textures.size() && f < bitmaps.size(); ++f) {
    textures[f] = Texture_AddFromBitmap(&bitmaps[f]);
    if (textures[f] != -1 && preload) Texture_Preload(textures[f]);
  }
  // Entries already made follow the new textures rather than naming freed
  // slots that another texture may take.
  for (size_t f = 0; f < localEntries_.size(); ++f) localEntries_[f].texture = f < textures.size() ? textures[f] : -1;
}

void CSprite::InitLocalTPE() {
  if (HasSharedEntries()) return;
  localEntries_.clear();
  localEntries_.reserve(bitmaps.size());
  for (size_t f = 0; f < bitmaps.size(); ++f) {
    TexturePageEntry e;
    e.width = e.cropWidth = e.originalWidth = bitmaps[f].GetWidth();
    e.height = e.cropHeight = e.originalHeight = bitmaps[f].GetHeight();
    e.texture = f < textures.size() ? textures[f] : -1;
    localEntries_.push_back(e);
  }
  ownEntries_ = true;
}

SpriteTexture CSprite::GetTexture(int frame) const {
  SpriteTexture r;
  const int f = WrapFrame(frame);
  if (f < 0) return r;
  if (!HasSharedEntries()) {
    if (size_t(f) < textures.size()) r.texture = textures[size_t(f)];
    return r;
  }
  r.entry = FrameEntry(f);
  if (r.entry) r.texture = r.entry->texture;
  return r;
}

SpriteRect CSprite::GetFrameRect(int frame) const {
  SpriteRect r;
  if (frame < 0 || frame >= frameCount) return r;
  if (HasEntries()) {
    if (const TexturePageEntry* e = FrameEntry(frame)) {
      r.left = e->xOffset;
      r.top = e->yOffset;
      r.right = e->xOffset + e->width;
      r.bottom = e->yOffset + e->height;
    }
    return r;
  }
  if (size_t(frame) < bitmaps.size()) {
    if (const std::optional<BitmapBounds> b = bitmaps[size_t(frame)].GetBounds())
      r = SpriteRect{b->left, b->top, b->right, b->bottom};
  }
  return r;
}

std::unique_ptr<TBitmap> CSprite::GetFrameBitmap(int frame) const {
  if (frame < 0 || frame >= frameCount || size_t(frame) >= bitmaps.size()) return nullptr;
  return bitmaps[size_t(frame)].ToTBitmap();
}

void CSprite::Copy(const CSprite& s) {
  if (&s == this) return;
  Clear();
  width = s.width;
  height = s.height;
  bboxLeft = s.bboxLeft;
  bboxTop = s.bboxTop;
  bboxRight = s.bboxRight;
  bboxBottom = s.bboxBottom;
  transparent = s.transparent;
  smooth = s.smooth;
  preload = s.preload;
  bboxMode = s.bboxMode;
  precise = s.precise;
  xOrigin = s.xOrigin;
  yOrigin = s.yOrigin;
  frameCount = s.frameCount;
  radius = s.radius;
  bitmaps = s.bitmaps;
  if (s.HasSharedEntries()) {
    entryOffsets_ = s.entryOffsets_;
    tableEntries_ = s.tableEntries_;
    // Without bitmaps the masks cannot be rebuilt, so they are copied.
    masks = s.masks;
    hasMasks = s.hasMasks;
    masksFromFile_ = s.masksFromFile_;
    fileMasks_ = s.fileMasks_;
    return;
  }
  InitTexture();
  InitLocalTPE();
  CreateMask();
}

bool CSprite::CopyFramesFromPages() {
  std::vector<CBitmap32> frames;
  frames.reserve(size_t(std::max(frameCount, 0)));
  for (int f = 0; f < frameCount; ++f) {
    CBitmap32 frame;
    if (!TPage_ReadImage(FrameEntry(f), &frame)) return false;
    frames.push_back(std::move(frame));
  }
  bitmaps = std::move(frames);
  return true;
}

void CSprite::DropSharedEntries() {
  // The masks stay: they were the data file's, and the pixels now held
  // agree with them.
  entryOffsets_.clear();
  tableEntries_.clear();
  entryIndex_.clear();
  fileMasks_.clear();
  masksFromFile_ = false;
}

bool CSprite::CreateFromBitmap(const TBitmap& image, bool isPrecise, bool isTransparent, bool isSmooth,
                               bool isPreloaded, int x, int y, bool plainCopy) {
  Clear();
  CBitmap32 frame = plainCopy ? CBitmap32::FromTBitmap(image, isTransparent, isSmooth)
                              : CBitmap32::Convert(image, isTransparent, isSmooth);
  if (!frame.IsValid() || frame.GetWidth() < 1 || frame.GetHeight() < 1) return false;
  frameCount = 1;
  width = frame.GetWidth();
  height = frame.GetHeight();
  precise = isPrecise;
  transparent = isTransparent;
  smooth = isSmooth;
  preload = isPreloaded;
  bboxMode = 0;
  xOrigin = x;
  yOrigin = y;
  bitmaps.push_back(std::move(frame));
  g_DebugConsole->Output("Init Texture\n");
  InitTexture();
  g_DebugConsole->Output("Init local TPE\n");
  InitLocalTPE();
  g_DebugConsole->Output("Compute Bounding Box\n");
  ComputeBoundingBox();
  g_DebugConsole->Output("Create Mask\n");
  CreateMask();
  return true;
}

bool CSprite::SetFrameBitmaps(std::vector<CBitmap32> frames) {
  for (const CBitmap32& b : frames)
    if (!b.IsValid() || b.GetWidth() < 1 || b.GetHeight() < 1) return false;
  localEntries_.clear();
  ownEntries_ = false;
  entryOffsets_.clear();
  tableEntries_.clear();
  entryIndex_.clear();
  fileMasks_.clear();
  masksFromFile_ = false;
  FreeMasks();
  if (!frames.empty()) {
    width = frames[0].GetWidth();
    height = frames[0].GetHeight();
    for (CBitmap32& b : frames)
      if (b.GetWidth() != width || b.GetHeight() != height) b.Resize(width, height);
  }
  frameCount = int32_t(frames.size());
  bitmaps = std::move(frames);
  InitTexture();
  InitLocalTPE();
  ComputeBoundingBox();
  CreateMask();
  return true;
}
