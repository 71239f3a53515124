// Backgrounds: single images for the room's background layers, tiles and the
// drawing built-ins, held as a page entry of the data file or as a bitmap
// with a texture of its own.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/game_data.h"
#include "graphics/bitmap.h"
#include "graphics/textures.h"

class CBackgroundImage {
 public:
  CBackgroundImage() = default;
  ~CBackgroundImage();
  CBackgroundImage(const CBackgroundImage&) = delete;
  CBackgroundImage& operator=(const CBackgroundImage&) = delete;

  // A BGND record at container offset `record`; DataError when it leaves
  // the container.
  void LoadFromChunk(const GameDataFile& file, uint32_t record);
  void InitTexture();
  void FreeTexture();
  void Assign(const CBackgroundImage& source);
  // The image made from a bitmap (clamped to the largest texture side).
  void CreateFromBitmap(const TBitmap& image, bool transparent, bool smooth, bool preload, bool plainCopy);
  // Loading from image files and bytes, plain copy as for sprites. A load
  // that cannot read or decode its data leaves the image as it was.
  bool LoadFromFile(const std::string& name, bool transparent, bool smooth, bool preload, bool plainCopy);
  bool LoadPNG(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload, bool plainCopy);
  bool LoadJPEG(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload, bool plainCopy);
  bool LoadGIF(const uint8_t* data, size_t size, bool transparent, bool smooth, bool preload, bool plainCopy);
  bool LoadFromPixels(const uint32_t* pixels, int width, int height, bool transparent, bool smooth, bool preload,
                      bool plainCopy);
  void CreateColour(int width, int height, uint32_t colour, bool preload);
  // Kinds as CBitmap32::Gradient takes them.
  void CreateGradient(int width, int height, uint32_t colour1, uint32_t colour2, int kind, bool preload);
  // A background on a data-file page gets the page's pixels as a bitmap and
  // texture of its own and lets go of the entry. False when it already has
  // a bitmap or the page cannot be read.
  bool CopyFromPage();
  // Both need bitmaps of their own; otherwise the debug console is told and
  // nothing changes.
  void SetAlphaFrom(const CBackgroundImage& other);
  // The page entry when there is one, else the own texture.
  TextureSource GetTexture() const;
  // The page entry the image lives on, or null.
  TexturePageEntry* Entry() const;
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  bool GetTransparent() const { return transparent_; }
  bool GetSmooth() const { return smooth_; }
  bool GetPreload() const { return preload_; }
  int OwnTexture() const { return texture_; }
  bool HasBitmap() const { return bitmap_ != nullptr; }

  void Draw(float x, float y);
  void DrawExt(float x, float y, float xScale, float yScale, float angle, uint32_t colour, float alpha);
  void DrawStretched(float x, float y, float width, float height, uint32_t colour, float alpha);
  void DrawPart(float left, float top, float width, float height, float x, float y, float xScale, float yScale,
                uint32_t colour, float alpha);
  void DrawGeneral(float left, float top, float width, float height, float x, float y, float xScale, float yScale,
                   float angle, uint32_t colour1, uint32_t colour2, uint32_t colour3, uint32_t colour4, float alpha);
  void DrawTiled(float x, float y, float xScale, float yScale, bool tileH, bool tileV, float viewX, float viewY,
                 float viewWidth, float viewHeight, uint32_t colour, float alpha);

 private:
  void Reset();

  int width_ = 0, height_ = 0;
  bool transparent_ = false, smooth_ = false, preload_ = false;
  int texture_ = -1;
  std::unique_ptr<CBitmap32> bitmap_;
  uint32_t entryOffset_ = 0;  // 0: none
  int entryIndex_ = -1;       // an added entry, or the offset's resolved one
  mutable uint32_t entryGeneration_ = 0;
};

void Background_Init();
// The BGND chunk: a counted list of record offsets; DataError when damaged.
bool Background_Load(const ChunkBody& body);
void Background_Clear();
void Background_InitTextures();
void Background_Shutdown();
bool Background_Exists(int index);
CBackgroundImage* Background_Get(int index);
std::string Background_GetName(int index);
int Background_Find(const std::string& name);
int Background_Count();
int Background_CreateNew();
bool Background_Delete(int index);
int Background_Duplicate(int index);
bool Background_Assign(int destination, int source);
// Appends a slot "__newbackground" + index holding `image`; the index.
int Background_Append(std::unique_ptr<CBackgroundImage> image);
// The image of slot `index`, made empty first when the slot holds none; null
// for an index outside the table.
CBackgroundImage* Background_GetOrMake(int index);
// As Sprite_Add and Sprite_Replace (sprites.h), for backgrounds.
int Background_Add(const std::string& name, bool transparent, bool smooth, bool preload);
bool Background_Replace(int index, const std::string& name, bool transparent, bool smooth, bool preload);
