// Sprites: the sprite table, the sprite resource with its frames, bounding
// box, radius and collision masks, and sprite drawing. Backgrounds as far as
// start-up and shutdown need them so far.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/game_data.h"
#include "graphics/bitmap.h"
#include "graphics/textures.h"

class CObjInstance;

// What a frame is drawn from: its own texture (sprites made at run time) or
// the page entry it lies on (frames on the data file's pages).
using SpriteTexture = TextureSource;

struct SpriteRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const SpriteRect&) const = default;
};

class CSprite {
 public:
  CSprite();
  virtual ~CSprite();
  CSprite(const CSprite&) = delete;
  CSprite& operator=(const CSprite&) = delete;

  // Back to an empty sprite: 1 x 1, transparent, preload, precise, mode 0.
  void Clear();
  // One SPRT record at this container offset; DataError when it does not fit
  // the container or names page entries that do not exist.
  bool LoadFromChunk(const GameDataFile& file, uint32_t record);
  void ComputeRadius();
  // The radius, and unless the mode is manual the box: the full frame in
  // mode 1 or for an opaque sprite, else the union of the frames' pixels
  // whose alpha is not 0.
  void ComputeBoundingBox();
  // Only in mode 2.
  void SetBoundingBox(int left, int top, int right, int bottom);
  void SetBoundingBoxMode(int mode);
  void SetPrecise(bool flag);
  // The default masks: one per frame, solid where alpha is above 0, for a
  // sprite that is precise and transparent.
  void CreateMask();
  // Masks of a given kind (0 alpha above the tolerance, 1 box, 2 ellipse of
  // the box, 3 diamond of the box). Box mode 0 or 1 takes the full frame, 2
  // the rectangle. Without `separate` every frame's mask also holds frame 0's.
  void CreateMaskExt(bool separate, int boxMode, int left, int top, int right, int bottom, int kind, int tolerance);
  // Fills one mask of width x height cells from a frame bitmap (null: no
  // pixels) and ORs in `previous` when given.
  void FillMask(const std::vector<uint8_t>* previous, std::vector<uint8_t>& mask, const CBitmap32* bitmap, int kind,
                int tolerance) const;
  void FreeMasks();
  // One texture per frame bitmap; nothing for frames on data-file pages.
  void InitTexture();
  // Page entries of the sprite's own that cover its own textures.
  void InitLocalTPE();
  void FreeTextures();
  SpriteTexture GetTexture(int frame) const;
  // With a page entry its placement in the frame (right and bottom one past
  // the last pixel); else the bounds of the bitmap's pixels whose alpha is
  // not 0 (inclusive). Zeros for a frame out of range.
  SpriteRect GetFrameRect(int frame) const;
  // A copy of the frame bitmap; null out of range or without bitmaps.
  std::unique_ptr<TBitmap> GetFrameBitmap(int frame) const;
  // Takes the source's settings and frames. Frame bitmaps are copied and get
  // textures and masks of their own; frames on data-file pages are shared
  // and keep the source's masks, which cannot be rebuilt without pixels.
  void Copy(const CSprite& source);
  // Reads the frames on the pages back into frame bitmaps; false (and
  // nothing changed) when a frame has no readable page.
  bool CopyFramesFromPages();
  // Drops the shared page entries once the frames are bitmaps of its own.
  void DropSharedEntries();
  // One frame made from an image (the screen, a surface); false and an empty
  // sprite when the image has no pixels to take.
  bool CreateFromBitmap(const TBitmap& image, bool precise, bool transparent, bool smooth, bool preload,
                        int xOrigin, int yOrigin, bool plainCopy);
  // Loading from image files and bytes. `plainCopy` keeps the decoded
  // pixels as they are, alpha included; otherwise background removal and
  // smoothing follow the transparent and smooth flags. Every load leaves the
  // sprite as it was when the data cannot be read or decoded.
  // The file's bytes (save area first, then the game's own directory),
  // decoded by their kind; preload is always set.
  bool LoadFromFile(const std::string& name, int frames, bool isPrecise, bool isTransparent, bool isSmooth,
                    bool isPreloaded, int x, int y, bool plainCopy);
  bool LoadPNG(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent, bool isSmooth, int x,
               int y, bool plainCopy);
  bool LoadJPEG(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent, bool isSmooth,
                int x, int y, bool plainCopy);
  bool LoadGIF(const uint8_t* data, size_t size, int frames, bool isPrecise, bool isTransparent, bool isSmooth, int x,
               int y, bool plainCopy);
  // The pixels (0xAARRGGBB, rows top first) cut into `frames` frames side
  // by side, with textures, box and masks made.
  bool LoadFromPixels(const uint32_t* pixels, int w, int h, int frames, bool isPrecise, bool isTransparent,
                      bool isSmooth, int x, int y, bool plainCopy);
  // Clears the sprite and cuts the loader's image into frames of equal
  // width (image width / frames, at least one frame and one pixel wide);
  // pixels right of the last frame are dropped. False, and a cleared
  // sprite, when the loader has no image.
  bool LoadStrip(const IBitmapLoader& loader, bool isTransparent, bool isSmooth, int frames, bool plainCopy);
  // The frames become these bitmaps, resized to the first one's size; then
  // textures, entries, box and masks are made again. False (nothing
  // changed) when a bitmap is invalid or empty.
  bool SetFrameBitmaps(std::vector<CBitmap32> frames);
  // Whether the frames lie on pages the sprite shares (the data file's).
  bool HasSharedEntries() const { return !entryOffsets_.empty() || !tableEntries_.empty(); }
  bool HasOwnEntries() const { return ownEntries_; }

  // Frame f wrapped into 0 .. frames - 1 (negative values too); -1 without
  // frames.
  int WrapFrame(int frame) const;
  // Frames as entries of the page-entry table (sprites made at run time);
  // the frame count becomes their count.
  void SetFrameEntries(std::vector<int32_t> pageIndices);
  // The frame's page entry or null.
  TexturePageEntry* FrameEntry(int frame) const;
  // The frame's own texture-table slot, or -1.
  int FrameTexture(int frame) const;
  // The mask cell (frame wrapped over the masks); true without masks.
  bool MaskSolid(int frame, int x, int y) const;

  // Drawing; angles in degrees, colours 0x00BBGGRR, alpha 0..1.
  void Draw(int frame, float x, float y);
  void DrawExt(int frame, float x, float y, float xScale, float yScale, float angle, uint32_t colour, float alpha);
  void DrawPos(int frame, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
               uint32_t colour, float alpha);
  void DrawStretched(int frame, float x, float y, float width, float height, uint32_t colour, float alpha);
  void DrawPart(int frame, float left, float top, float width, float height, float x, float y, float xScale,
                float yScale, uint32_t colour, float alpha);
  void DrawGeneral(int frame, float left, float top, float width, float height, float x, float y, float xScale,
                   float yScale, float angle, uint32_t colour1, uint32_t colour2, uint32_t colour3, uint32_t colour4,
                   float alpha);
  void DrawTiled(int frame, float x, float y, float xScale, float yScale, bool tileH, bool tileV, float viewX,
                 float viewY, float viewWidth, float viewHeight, uint32_t colour, float alpha);

  int32_t bboxMode = 0;
  int32_t bboxLeft = 0, bboxTop = 0, bboxRight = 0, bboxBottom = 0;
  int32_t frameCount = 0;
  int32_t width = 1, height = 1;
  int32_t xOrigin = 0, yOrigin = 0;
  int32_t radius = 0;
  bool precise = true, hasMasks = false, transparent = true, smooth = false, preload = true;
  // Masks of width x height cells, 1 solid; frame f uses mask f mod count.
  std::vector<std::vector<uint8_t>> masks;
  // Frame bitmaps, one per frame, for sprites made at run time.
  std::vector<CBitmap32> bitmaps;
  // Own texture-table slots, -1 for none, one per frame bitmap.
  std::vector<int32_t> textures;
  std::string name;
  int32_t index = 0;

 private:
  void ResolveEntries() const;
  void DrawFailed(bool log) const;

  // Container offsets of the frames' page entries, and their indices in the
  // page-entry table, looked up again whenever that table is rebuilt.
  std::vector<uint32_t> entryOffsets_;
  mutable std::vector<int32_t> entryIndex_;
  mutable uint32_t entryGeneration_ = 0;
  // Entries of the page-entry table the sprite was given, by index; shared
  // like the data file's.
  std::vector<int32_t> tableEntries_;
  // Entries of its own (InitLocalTPE), one per frame bitmap.
  std::vector<TexturePageEntry> localEntries_;
  bool ownEntries_ = false;
  // The data file's masks while the sprite is not precise, so that they come
  // back when it is made precise again.
  std::vector<std::vector<uint8_t>> fileMasks_;
  bool masksFromFile_ = false;
  bool HasEntries() const { return HasSharedEntries() || !localEntries_.empty(); }
};

bool Sprite_Load(const ChunkBody& body);
void Sprite_FreeAll();
void Sprite_Clear();
void Sprite_InitTextures();
void Sprite_Shutdown();
bool Sprite_Exists(int index);
CSprite* Sprite_Get(int index);
// The slot's name, or "<undefined>".
const char* Sprite_GetName(int index);
int Sprite_Find(const std::string& name);
int Sprite_Count();
int Sprite_CreateNew();
bool Sprite_Delete(int index);
int Sprite_Duplicate(int index);
bool Sprite_Assign(int destination, int source);

// Appends a slot "__newsprite" + index holding `sprite`; the index.
int Sprite_Append(std::unique_ptr<CSprite> sprite);
// The sprite of slot `index`, made empty first when the slot holds none; null
// for an index outside the table.
CSprite* Sprite_GetOrMake(int index);
// Sprites from image files or http and https addresses. An address starts a
// request and the image arrives later, with event 7 / 60 (the sprite stays
// empty, or as it was for a replace, meanwhile). Preload is always set.
// The new index, or -1 (and no new slot) when the file is missing or
// cannot be decoded.
int Sprite_Add(const std::string& name, int frames, bool precise, bool transparent, bool smooth, bool preload,
               int xOrigin, int yOrigin);
// True when the file was loaded into the slot; false for an index outside
// the table, a file missing or undecodable (the sprite unchanged) and
// always for an address.
bool Sprite_Replace(int index, const std::string& name, int frames, bool precise, bool transparent, bool smooth,
                    bool preload, int xOrigin, int yOrigin);

// What an instance without a draw event draws: its sprite at its place.
void Sprite_DrawInstanceDefault(CObjInstance* instance);

#include "sprites/backgrounds.h"  // IWYU pragma: export
void InitResourceFunctions();
