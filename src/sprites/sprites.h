// Sprites: the sprite table, the sprite resource with its frames, bounding
// box, radius and collision masks, and sprite drawing. Backgrounds as far as
// start-up and shutdown need them so far.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/game_data.h"

struct TexturePageEntry;
class CObjInstance;

class CSprite {
 public:
  CSprite();
  virtual ~CSprite();

  // Back to an empty sprite: 1 x 1, transparent, preload, precise, mode 0.
  void Clear();
  // One SPRT record at this container offset; DataError when it does not fit
  // the container or names page entries that do not exist.
  bool LoadFromChunk(const GameDataFile& file, uint32_t record);
  void ComputeRadius();
  void ComputeBoundingBox();
  void SetBoundingBox(int left, int top, int right, int bottom);
  void SetBoundingBoxMode(int mode);
  void SetPrecise(bool flag);
  void CreateMask();
  void FreeMasks();
  // Shares the source's data-file frames and masks; own textures are not
  // shared.
  void Copy(const CSprite& source);

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
  // Own texture-table slots, one per frame, for sprites made at run time.
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
  // Entries of the page-entry table the sprite was given, by index.
  std::vector<int32_t> ownEntries_;
  bool HasEntries() const { return !entryOffsets_.empty() || !ownEntries_.empty(); }
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

// What an instance without a draw event draws: its sprite at its place.
void Sprite_DrawInstanceDefault(CObjInstance* instance);

#include "sprites/backgrounds.h"  // IWYU pragma: export
void InitResourceFunctions();
