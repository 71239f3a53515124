// Textures: device textures with their kept pixel copy (TextureD3D), the
// engine-wide texture table, the texture-page entries of the data file and
// the textured-quad drawers that feed the vertex batch.
//
// Page entries are copied out of the container into a table of their own;
// code holds them by pointer into that table (stable until it is cleared)
// or by table index, never by a number a script could forge.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/game_data.h"
#include "platform/gfx/device.h"

class CBitmap32;

// ---- Device textures ----------------------------------------------------------

enum TextureFormatKind : int32_t {
  kTexFormatDefault = 0,
  kTexFormatA8R8G8B8 = 6,
  kTexFormatA4R4G4B4 = 11,
};

struct TextureImageInfo {
  int width = 0, height = 0, bits = 0, levels = 0, kind = 0, resourceType = 0, fileFormat = 0;
};

struct TextureD3D {
  int32_t formatKind = kTexFormatA8R8G8B8;
  // bits 0-12 width - 1, 13-25 height - 1, 26-31 levels - 1
  uint32_t packedSize = 0;
  uint32_t flags = 0;  // bit 0 dirty render target, 8 default pool, 16 managed
  gfx::TextureHandle texture = 0;
  std::vector<uint32_t> kept;  // the pixels last uploaded, texture width x height
  TextureD3D* next = nullptr;
  TextureD3D* prev = nullptr;

  int Width() const { return int(packedSize & 0x1FFF) + 1; }
  int Height() const { return int((packedSize >> 13) & 0x1FFF) + 1; }
};

constexpr uint32_t kTextureFlagRenderTarget = 1;

// Sides round up to a power of two, at most 4096; render targets keep their
// size. None when the device texture cannot be made ("CreateTexture failed").
TextureD3D* TextureD3D_Create(int width, int height, int levels, uint32_t flags, int formatKind);
TextureD3D* TextureD3D_CreateFromPixels(const uint32_t* pixels, int width, int height, TextureImageInfo* info);
// A "RAW " block or a PNG, JPEG or GIF file held in memory. A file the
// decoders refuse gives a texture without a device texture (draws bind none).
TextureD3D* TextureD3D_CreateFromImage(const uint8_t* data, size_t size, TextureImageInfo* info, int formatKind,
                                       uint32_t flags);
// Rows of width words (kind 11: width 16-bit words) into the kept copy and
// the device texture.
bool TextureD3D_Upload(TextureD3D* texture, int level, int width, int height, const void* pixels);
// Re-sends a rectangle of the kept copy, clipped to the texture.
bool TextureD3D_UpdateRect(TextureD3D* texture, int x, int y, int width, int height);
void TextureD3D_SetStage(int stage, TextureD3D* texture);
void TextureD3D_Free(TextureD3D* texture);
void TextureD3D_Flush(TextureD3D* texture);
int Texture_GetMaxSize();
// Live device textures, for tests.
size_t TextureD3D_LiveCount();

// A rectangle of a texture as width x height words 0xAARRGGBB; what lies
// outside the texture reads 0. Ordinary textures are read from their kept
// copy, render targets from the device. False without a device, for an
// empty rectangle or one wholly outside, or when the device cannot read.
bool Graphics_ReadTexturePixels(TextureD3D* texture, int x, int y, int width, int height,
                                std::vector<uint32_t>* out);
inline bool Graphics_GetTexturePixels(TextureD3D* texture, int x, int y, int width, int height,
                                      std::vector<uint32_t>* out) {
  return Graphics_ReadTexturePixels(texture, x, y, width, height, out);
}

// ---- Images built into the program ----------------------------------------------------
//
// The table: a uint32 count, then per image {uint32 byte size, uint32
// offset from the table's start}, then the images (any file the texture
// creator reads). The table is only remembered, so it must outlive its use.
void Texture_SetEmbeddedTable(const uint8_t* table, size_t size);
// The records the table holds that lie wholly inside it.
int Texture_EmbeddedCount();
// A new texture of image n; none for an n outside the table or an image
// that cannot be read.
TextureD3D* Texture_LoadEmbedded(int n);
// A table of these images, in this order.
std::vector<uint8_t> Texture_BuildEmbeddedTable(const std::vector<std::vector<uint8_t>>& images);

// ---- The texture table ----------------------------------------------------------

struct TextureEntry {
  TextureD3D* texture = nullptr;
  int32_t imageWidth = 0, imageHeight = 0;
  float texelWidth = 0, texelHeight = 0;
  bool inUse = false;
};

int Texture_AllocSlot();
int Texture_CreateRenderTarget(int width, int height, bool renderTarget);
int Texture_AddD3D(TextureD3D* texture, int width, int height);
int Texture_AddFromPixels(int width, int height, const void* data, size_t byteCount);
int Texture_AddFromImage(const uint8_t* data, size_t byteCount, uint32_t flags);
int Texture_AddFromBitmap(const CBitmap32* bitmap);
int Texture_CreateFromAlpha(int width, int height, const uint8_t* alpha);
bool Texture_Exists(int index);
void Texture_Free(int index);
double Texture_GetWidth(int index);
double Texture_GetHeight(int index);
void Texture_Preload(int index);
void Texture_SetPriority(int index, int priority);
TextureD3D* Texture_GetD3D(int index);
// The entry of a slot in use, else null.
TextureEntry* Texture_GetEntry(int index);
int Texture_Count();
void Texture_ClearTable();
void Texture_FreeAll();
void Texture_Flush();

// ---- Texture-page entries -----------------------------------------------------------

constexpr uint32_t kTexturePageEntrySize = 22;

struct TexturePageEntry {
  int32_t x = 0, y = 0, width = 0, height = 0;  // the stored rectangle on the page
  int32_t xOffset = 0, yOffset = 0;             // where it sits in the untrimmed image
  int32_t cropWidth = 0, cropHeight = 0;        // the size it is drawn at
  int32_t originalWidth = 0, originalHeight = 0;
  // The texture-table slot of the page; -1 until the pages are loaded, and
  // for an entry whose page does not exist.
  int32_t texture = -1;
  int32_t pageIndex = 0;  // as stored in the container
};

// What an image is drawn from: its own texture-table slot, or the page
// entry it lies on. Script code is handed a validated handle made from this,
// never an address.
struct TextureSource {
  int32_t texture = -1;
  TexturePageEntry* entry = nullptr;
};

// TPAG: copies every listed entry; DataError when one lies outside the
// container.
void TPage_Load(const ChunkBody& body);
// TXTR: one texture per page, then every entry bound to its page's slot.
bool Texture_LoadPages(const ChunkBody& body);
void TPage_Clear();
int TPage_Count();
TexturePageEntry* TPage_Get(int index);
// The entry whose record lies at this container offset; -1 when TPAG lists
// none there.
int TPage_FindByOffset(uint32_t offset);
// Changes whenever the entry table is rebuilt, so holders of indices can
// tell their look-ups are stale.
uint32_t TPage_Generation();
// Appends an entry (sprites and backgrounds made at run time).
int TPage_Add(const TexturePageEntry& entry);
// Scripts hold a page entry as this base plus its index in the entry table:
// above every texture index, and a number that names no entry is caught.
constexpr int32_t kTexturePageHandleBase = 0x100000;
// -1 for an index outside the table.
int32_t TPage_Handle(int index);
// Null when the value names no entry.
TexturePageEntry* TPage_FromHandle(int64_t handle);
// Texture ids of the loaded pages, in page order.
const std::vector<int>& Texture_PageIds();
// The entry's whole untrimmed image read back from its page, the stored
// rectangle placed at its offset (clipped to the image) and the rest clear.
// False when the page cannot be read or the image has no sane size.
bool TPage_ReadImage(const TexturePageEntry* entry, CBitmap32* out);

// ---- Textured quads ------------------------------------------------------------------

// 24 bytes, as the batch takes them.
struct TexturedVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
static_assert(sizeof(TexturedVertex) == 24);

// The draw state the quads read: the current draw alpha and the corner-id
// switch. The draw state installs its own; until then alpha 1, switch off.
struct TextureDrawHooks {
  float (*alpha)() = nullptr;
  bool (*cornerIds)() = nullptr;
};
void Texture_SetDrawHooks(const TextureDrawHooks& hooks);

// Script colour 0x00BBGGRR and alpha 0..1 to a device colour.
uint32_t Texture_ColourToARGB(uint32_t scriptColour, float alpha);

bool Texture_Draw(int texture, float x, float y);
bool TPage_Draw(TexturePageEntry* entry, float x, float y);
bool TPage_DrawQuad(TexturePageEntry* entry, float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                    float y4, uint32_t colour, float alpha);
bool Texture_DrawExt(int texture, float xOrigin, float yOrigin, float x, float y, float xScale, float yScale,
                     float angle, uint32_t colour, float alpha);
bool TPage_DrawExt(TexturePageEntry* entry, float xOrigin, float yOrigin, float x, float y, float xScale,
                   float yScale, float angle, uint32_t colour, float alpha);
bool Texture_DrawPart(int texture, float left, float top, float width, float height, float x, float y, float xScale,
                      float yScale, float angle, uint32_t colour, float alpha);
bool TPage_DrawPart(TexturePageEntry* entry, float left, float top, float width, float height, float x, float y,
                    float xScale, float yScale, float angle, uint32_t colour, float alpha);
bool Texture_DrawGeneral(int texture, float left, float top, float width, float height, float x, float y,
                         float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2,
                         uint32_t colour3, uint32_t colour4, float alpha);
bool TPage_DrawGeneral(TexturePageEntry* entry, float left, float top, float width, float height, float x, float y,
                       float xScale, float yScale, float angle, uint32_t colour1, uint32_t colour2, uint32_t colour3,
                       uint32_t colour4, float alpha);
bool Texture_DrawTiled(int texture, float xOrigin, float yOrigin, float x, float y, float xScale, float yScale,
                       bool tileH, bool tileV, float viewLeft, float viewTop, float viewWidth, float viewHeight,
                       uint32_t colour, float alpha);
bool TPage_DrawTiled(TexturePageEntry* entry, float xOrigin, float yOrigin, float x, float y, float xScale,
                     float yScale, bool tileH, bool tileV, float viewLeft, float viewTop, float viewWidth,
                     float viewHeight, uint32_t colour, float alpha);
// Six vertices of the corners (top-left, top-right, bottom-right,
// bottom-left) with device colours.
bool Texture_DrawQuadCorners(TextureD3D* texture, const float corners[8], float uLeft, float vTop, float uRight,
                             float vBottom, const uint32_t colours[4]);
