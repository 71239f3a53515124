#include "sprites/backgrounds.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "script/console.h"
#include "core/events.h"
#include "core/rooms.h"
#include "graphics/textures.h"

namespace {

constexpr float kPiSingle = 3.1415927410125732f;

struct Slot {
  std::unique_ptr<CBackgroundImage> image;
  std::string name;
};
std::vector<Slot> g_backgrounds;

float Radians(float degrees) { return float(double(degrees) * double(kPiSingle) / 180.0); }

bool SizeOf(int32_t index, int32_t* width, int32_t* height) {
  const CBackgroundImage* b = Background_Get(index);
  if (!b) return false;
  *width = b->GetWidth();
  *height = b->GetHeight();
  return true;
}

}  // namespace

CBackgroundImage::~CBackgroundImage() { FreeTexture(); }

void CBackgroundImage::Reset() {
  bitmap_.reset();
  FreeTexture();
  width_ = height_ = 0;
  transparent_ = smooth_ = preload_ = false;
  entryOffset_ = 0;
  entryIndex_ = -1;
}

void CBackgroundImage::LoadFromChunk(const GameDataFile& file, uint32_t record) {
  Reset();
  transparent_ = file.U32(record + 4) != 0;
  smooth_ = file.U32(record + 8) != 0;
  preload_ = file.U32(record + 12) != 0;
  entryOffset_ = file.U32(record + 16);
  if (entryOffset_) {
    // The entry's original size, read where the page entry record lies.
    file.Bytes(entryOffset_, kTexturePageEntrySize);
    width_ = file.U16(entryOffset_ + 16);
    height_ = file.U16(entryOffset_ + 18);
  }
}

TexturePageEntry* CBackgroundImage::Entry() const {
  if (entryOffset_ == 0) return entryIndex_ >= 0 ? TPage_Get(entryIndex_) : nullptr;
  if (entryIndex_ < 0 || entryGeneration_ != TPage_Generation()) {
    // Pages may be read after the backgrounds: resolve on first use.
    const_cast<CBackgroundImage*>(this)->entryIndex_ = TPage_FindByOffset(entryOffset_);
    entryGeneration_ = TPage_Generation();
  }
  return entryIndex_ >= 0 ? TPage_Get(entryIndex_) : nullptr;
}

void CBackgroundImage::FreeTexture() {
  if (texture_ != -1) Texture_Free(texture_);
  texture_ = -1;
}

void CBackgroundImage::InitTexture() {
  FreeTexture();
  texture_ = bitmap_ ? Texture_AddFromBitmap(bitmap_.get()) : -1;
  if (texture_ != -1 && preload_) Texture_Preload(texture_);
}

void CBackgroundImage::Assign(const CBackgroundImage& source) {
  if (&source == this) return;
  Reset();
  width_ = source.width_;
  height_ = source.height_;
  transparent_ = source.transparent_;
  smooth_ = source.smooth_;
  preload_ = source.preload_;
  entryOffset_ = source.entryOffset_;
  entryIndex_ = source.entryIndex_;
  entryGeneration_ = source.entryGeneration_;
  if (source.bitmap_) bitmap_ = std::make_unique<CBitmap32>(*source.bitmap_);
  InitTexture();
}

void CBackgroundImage::CreateFromBitmap(const TBitmap& image, bool transparent, bool smooth, bool preload,
                                        bool plainCopy) {
  Reset();
  transparent_ = transparent;
  smooth_ = smooth;
  preload_ = preload;
  width_ = image.GetWidth();
  height_ = image.GetHeight();
  const int limit = Texture_GetMaxSize();
  if (width_ > limit || height_ > limit) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "Error creating background: image width or height exceeds maximum texture size of %d\n", limit);
    Log(line);
    width_ = std::min(width_, limit);
    height_ = std::min(height_, limit);
    bitmap_ = std::make_unique<CBitmap32>(CBitmap32::FromPixels(
        width_, height_, std::vector<uint32_t>(size_t(width_) * size_t(height_), 0xFFFF0000u)));
  } else {
    bitmap_ = std::make_unique<CBitmap32>(plainCopy ? CBitmap32::FromTBitmap(image, transparent, smooth)
                                                    : CBitmap32::Convert(image, transparent, smooth));
  }
  InitTexture();
}

void CBackgroundImage::CreateColour(int width, int height, uint32_t colour, bool preload) {
  Reset();
  width_ = width;
  height_ = height;
  preload_ = preload;
  bitmap_ = std::make_unique<CBitmap32>(CBitmap32::Fill(width, height, colour));
  InitTexture();
}

void CBackgroundImage::CreateGradient(int width, int height, uint32_t colour1, uint32_t colour2, int kind,
                                      bool preload) {
  Reset();
  width_ = width;
  height_ = height;
  preload_ = preload;
  bitmap_ = std::make_unique<CBitmap32>(CBitmap32::Gradient(width, height, colour1, colour2, kind));
  InitTexture();
}

bool CBackgroundImage::CopyFromPage() {
  if (bitmap_) return false;
  CBitmap32 image;
  if (!TPage_ReadImage(Entry(), &image)) return false;
  bitmap_ = std::make_unique<CBitmap32>(std::move(image));
  width_ = bitmap_->GetWidth();
  height_ = bitmap_->GetHeight();
  entryOffset_ = 0;
  entryIndex_ = -1;
  InitTexture();
  return true;
}

void CBackgroundImage::SetAlphaFrom(const CBackgroundImage& other) {
  if (!bitmap_ || !other.bitmap_) {
    g_DebugConsole->Output("Both bitmaps need to be duplicated first\n");
    return;
  }
  bitmap_->SetAlphaFrom(*other.bitmap_);
  InitTexture();
}

TextureSource CBackgroundImage::GetTexture() const {
  if (TexturePageEntry* e = Entry()) return {-1, e};
  return {texture_, nullptr};
}

void CBackgroundImage::Draw(float x, float y) {
  if (TexturePageEntry* e = Entry()) {
    TPage_Draw(e, x, y);
  } else if (texture_ != -1) {
    Texture_Draw(texture_, x, y);
  }
}

void CBackgroundImage::DrawExt(float x, float y, float xScale, float yScale, float angle, uint32_t colour,
                               float alpha) {
  float a = Radians(angle);
  if (TexturePageEntry* e = Entry()) {
    TPage_DrawExt(e, 0, 0, x, y, xScale, yScale, a, colour, alpha);
  } else if (texture_ != -1) {
    Texture_DrawExt(texture_, 0, 0, x, y, xScale, yScale, a, colour, alpha);
  }
}

void CBackgroundImage::DrawStretched(float x, float y, float width, float height, uint32_t colour, float alpha) {
  if (width <= 0 || height <= 0 || width_ <= 0 || height_ <= 0) return;
  float xs = width / float(width_), ys = height / float(height_);
  if (TexturePageEntry* e = Entry()) {
    TPage_DrawExt(e, 0, 0, x, y, xs, ys, 0, colour, alpha);
  } else if (texture_ != -1) {
    Texture_DrawExt(texture_, 0, 0, x, y, xs, ys, 0, colour, alpha);
  }
}

void CBackgroundImage::DrawPart(float left, float top, float width, float height, float x, float y, float xScale,
                                float yScale, uint32_t colour, float alpha) {
  if (TexturePageEntry* e = Entry()) {
    TPage_DrawPart(e, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha);
  } else if (texture_ != -1) {
    Texture_DrawPart(texture_, left, top, width, height, x, y, xScale, yScale, 0, colour, alpha);
  }
}

void CBackgroundImage::DrawGeneral(float left, float top, float width, float height, float x, float y, float xScale,
                                   float yScale, float angle, uint32_t colour1, uint32_t colour2, uint32_t colour3,
                                   uint32_t colour4, float alpha) {
  float a = Radians(angle);
  if (TexturePageEntry* e = Entry()) {
    TPage_DrawGeneral(e, left, top, width, height, x, y, xScale, yScale, a, colour1, colour2, colour3, colour4, alpha);
  } else if (texture_ != -1) {
    Texture_DrawGeneral(texture_, left, top, width, height, x, y, xScale, yScale, a, colour1, colour2, colour3,
                        colour4, alpha);
  }
}

void CBackgroundImage::DrawTiled(float x, float y, float xScale, float yScale, bool tileH, bool tileV, float viewX,
                                 float viewY, float viewWidth, float viewHeight, uint32_t colour, float alpha) {
  if (TexturePageEntry* e = Entry()) {
    TPage_DrawTiled(e, 0, 0, x, y, xScale, yScale, tileH, tileV, viewX, viewY, viewWidth, viewHeight, colour, alpha);
  } else if (texture_ != -1) {
    Texture_DrawTiled(texture_, 0, 0, x, y, xScale, yScale, tileH, tileV, viewX, viewY, viewWidth, viewHeight,
                      colour, alpha);
  }
}

void Background_Init() { g_backgrounds.clear(); }
void Background_Clear() { Background_Init(); }

bool Background_Load(const ChunkBody& body) {
  Room_SetBackgroundSizeLookup(SizeOf);
  const GameDataFile& file = body.File();
  const std::vector<uint32_t> records = body.OffsetList();
  LoadBudget budget(file, "BGND");
  std::vector<Slot> slots(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    try {
      budget.Charge(5);
      auto image = std::make_unique<CBackgroundImage>();
      image->LoadFromChunk(file, records[i]);
      slots[i].name = std::string(file.String(file.U32(records[i])));
      slots[i].image = std::move(image);
    } catch (const DataError& e) {
      throw DataError("BGND background " + std::to_string(i) + ": " + e.what());
    }
  }
  g_backgrounds = std::move(slots);
  return true;
}

void Background_InitTextures() {
  Room_SetBackgroundSizeLookup(SizeOf);
  for (Slot& s : g_backgrounds)
    if (s.image) s.image->InitTexture();
}

void Background_Shutdown() { g_backgrounds.clear(); }

int Background_Count() { return int(g_backgrounds.size()); }
bool Background_Exists(int index) { return Background_Get(index) != nullptr; }

CBackgroundImage* Background_Get(int index) {
  if (index < 0 || index >= Background_Count()) return nullptr;
  return g_backgrounds[size_t(index)].image.get();
}

std::string Background_GetName(int index) {
  return Background_Exists(index) ? g_backgrounds[size_t(index)].name : "<undefined>";
}

int Background_Find(const std::string& name) {
  for (size_t i = 0; i < g_backgrounds.size(); ++i)
    if (g_backgrounds[i].image && g_backgrounds[i].name == name) return int(i);
  return -1;
}

int Background_CreateNew() {
  Slot s;
  s.image = std::make_unique<CBackgroundImage>();
  s.name = "__newbackground" + std::to_string(g_backgrounds.size());
  g_backgrounds.push_back(std::move(s));
  return Background_Count() - 1;
}

int Background_Append(std::unique_ptr<CBackgroundImage> image) {
  const int index = Background_CreateNew();
  g_backgrounds[size_t(index)].image = std::move(image);
  return index;
}

CBackgroundImage* Background_GetOrMake(int index) {
  if (index < 0 || index >= Background_Count()) return nullptr;
  Slot& s = g_backgrounds[size_t(index)];
  if (!s.image) {
    s.image = std::make_unique<CBackgroundImage>();
    if (s.name.empty()) s.name = "__newbackground" + std::to_string(index);
  }
  return s.image.get();
}

bool Background_Delete(int index) {
  if (!Background_Exists(index)) return false;
  g_backgrounds[size_t(index)] = Slot{};
  return true;
}

int Background_Duplicate(int index) {
  if (!Background_Exists(index)) return -1;
  int added = Background_CreateNew();
  CBackgroundImage* copy = Background_Get(added);
  copy->Assign(*Background_Get(index));
  // The copy gets pixels of its own, so changing it leaves the page alone.
  copy->CopyFromPage();
  return added;
}

bool Background_Assign(int destination, int source) {
  if (!Background_Exists(source) || destination < 0 || destination >= Background_Count()) return false;
  if (destination == source) return true;
  Slot& d = g_backgrounds[size_t(destination)];
  if (!d.image) d.image = std::make_unique<CBackgroundImage>();
  d.image->Assign(*Background_Get(source));
  return true;
}
