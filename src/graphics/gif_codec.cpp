// GIF decoding through giflib 5. Only the first image is read, record by
// record, so that its size can be checked before anything is allocated for
// it (DGifSlurp would allocate whatever the file claims, then read every
// frame).
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

namespace {

struct ReadCursor {
  const uint8_t* data;
  size_t size;
  size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* c = static_cast<ReadCursor*>(gif->UserData);
  if (count <= 0) return 0;
  size_t n = std::min(size_t(count), c->size - c->position);
  std::memcpy(out, c->data + c->position, n);
  c->position += n;
  return int(n);
}

uint32_t* DecodeFirstImage(GifFileType* gif, int* outWidth, int* outHeight) {
  const int screenW = gif->SWidth, screenH = gif->SHeight;
  const int maxSide = Image_MaxSide();
  if (screenW <= 0 || screenH <= 0 || screenW > maxSide || screenH > maxSide) return nullptr;
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return nullptr;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return nullptr;
      // A graphic-control block of 4 bytes {flags, delay, delay, index}
      // whose flags have bit 0 set names the transparent index.
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4 && (block[1] & 1) && transparent < 0)
        transparent = block[4];
      while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return nullptr;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return nullptr;  // the end, with no image
    break;
  }
  if (DGifGetImageDesc(gif) == GIF_ERROR) return nullptr;
  const int imageW = gif->Image.Width, imageH = gif->Image.Height;
  // An image smaller than the screen is not decoded.
  if (imageW < screenW || imageH < screenH || imageW > maxSide || imageH > maxSide) return nullptr;
  const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0) return nullptr;

  uint32_t colours[256];
  for (int i = 0; i < 256; ++i) {
    if (i < map->ColorCount) {
      const GifColorType& c = map->Colors[i];
      colours[i] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    } else {
      colours[i] = 0xFF000000u;
    }
    if (i == transparent) colours[i] &= 0x00FFFFFFu;
  }

  auto* result = static_cast<uint32_t*>(TW_ALLOC(uint32_t(screenW) * uint32_t(screenH) * 4, false));
  std::vector<GifPixelType> line(static_cast<size_t>(imageW));
  // Interlaced images arrive in four passes of rows.
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  const int passes = gif->Image.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = passes == 1 ? 0 : kStart[pass], step = passes == 1 ? 1 : kStep[pass];
    for (int y = start; y < imageH; y += step) {
      if (DGifGetLine(gif, line.data(), imageW) == GIF_ERROR) {
        MemoryManager::Release(result);
        return nullptr;
      }
      if (y >= screenH) continue;
      uint32_t* out = result + size_t(y) * size_t(screenW);
      for (int x = 0; x < screenW; ++x) out[x] = colours[line[size_t(x)]];
    }
  }
  *outWidth = screenW;
  *outHeight = screenH;
  return result;
}

}  // namespace

uint32_t* GIF_Load(const uint8_t* data, size_t size, int* width, int* height) {
  if (!data || size == 0) return nullptr;
  ReadCursor cursor{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, ReadFromMemory, &error);
  if (!gif) return nullptr;
  int w = 0, h = 0;
  uint32_t* pixels = DecodeFirstImage(gif, &w, &h);
  DGifCloseFile(gif, &error);
  if (pixels) {
    if (width) *width = w;
    if (height) *height = h;
  }
  return pixels;
}
