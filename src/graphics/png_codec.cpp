// PNG reading and writing over libpng. libpng reports errors by a long jump
// back into the function that set it up, so those functions hold nothing
// with a destructor between setjmp and the end of the libpng work.
#include <png.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/console.h"
#include "files/files.h"
#include "graphics/image_codecs.h"
#include "platform/files.h"
#include "script/memory_manager.h"

static_assert(std::endian::native == std::endian::little, "pixel words are stored as B,G,R,A bytes");

namespace {

std::atomic<int> g_maxSide{kImageMaxSide};

struct ReadCursor {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* c = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (count > c->size - c->position) png_error(png, "read past the end of the data");
  std::memcpy(out, c->data + c->position, count);
  c->position += count;
}

void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

// The PNG reader behind PNG_Load: B,G,R,A bytes (words 0xAARRGGBB), rows
// top to bottom, in a block of the engine allocator.
uint32_t* ReadPNG(const uint8_t* data, size_t size, int* outWidth, int* outHeight) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    g_DebugConsole->Output("Not a PNG\n");
    return nullptr;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  ReadCursor cursor{data, size, 8};
  uint8_t* volatile pixels = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    g_DebugConsole->Output("ReadPNG :: a PNG error occured\n");
    MemoryManager::Release(pixels);
    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  const int maxSide = g_maxSide.load();
  png_set_user_limits(png, uint32_t(maxSide), uint32_t(maxSide));
  // A damaged chunk of any kind ends the read.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_read_fn(png, &cursor, ReadFromMemory);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);

  const uint32_t width = png_get_image_width(png, info);
  const uint32_t height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || width > uint32_t(maxSide) || height > uint32_t(maxSide))
    png_error(png, "image size out of range");
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

  // Every variant becomes 8-bit B,G,R,A.
  if (bitDepth == 16) png_set_scale_16(png);  // rounds, v * 255 / 65535
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (transparency) png_set_tRNS_to_alpha(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colourType & PNG_COLOR_MASK_ALPHA) && !transparency) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(width) * 4 || png_get_channels(png, info) != 4 ||
      png_get_bit_depth(png, info) != 8)
    png_error(png, "unexpected row layout");

  pixels = static_cast<uint8_t*>(TW_ALLOC(width * height * 4, false));
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (!rows) png_error(png, "out of memory");
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels + size_t(y) * width * 4;
  png_read_image(png, rows);
  // The end of the image must be there too: a cut file is refused.
  png_read_end(png, nullptr);

  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  *outWidth = int(width);
  *outHeight = int(height);
  return reinterpret_cast<uint32_t*>(pixels);
}

void WriteToVector(png_structp png, png_bytep bytes, size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), bytes, bytes + count);
}
void FlushNothing(png_structp) {}

// Encodes into `out`; on failure `*failure` names the step that failed in
// the words the engine logs.
bool EncodePNG(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out, const char** failure) {
  out->clear();
  *failure = nullptr;
  if (!rgba || width <= 0 || height <= 0 || width > g_maxSide.load() || height > g_maxSide.load()) {
    *failure = "[write_png_file] Bad image size\n";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) {
    *failure = "[write_png_file] png_create_write_struct failed\n";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *failure = "[write_png_file] png_create_info_struct failed\n";
    return false;
  }
  png_bytep* volatile rows = nullptr;
  const char* volatile step = "[write_png_file] Error during init_io\n";
  if (setjmp(png_jmpbuf(png))) {
    *failure = step;
    std::free(rows);
    png_destroy_write_struct(&png, &info);
    out->clear();
    return false;
  }
  png_set_write_fn(png, out, WriteToVector, FlushNothing);
  step = "[write_png_file] Error during writing header\n";
  png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  step = "[write_png_file] Error during writing bytes\n";
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * size_t(height)));
  if (!rows) png_error(png, "out of memory");
  for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(rgba) + size_t(y) * size_t(width) * 4;
  png_write_image(png, rows);
  step = "[write_png_file] Error during end of write\n";
  png_write_end(png, nullptr);
  std::free(rows);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WritePNGFile(const char* path, const uint8_t* rgba, int width, int height, std::string* failure) {
  if (!path || !*path) {
    if (failure) *failure = "[write_png_file] No file name\n";
    return false;
  }
  std::vector<uint8_t> bytes;
  const char* step = nullptr;
  if (!EncodePNG(rgba, width, height, &bytes, &step)) {
    if (failure) *failure = step ? step : "[write_png_file] Error\n";
    return false;
  }
  std::string error;
  if (!File_WriteAtomic(path, bytes.data(), bytes.size(), &error)) {
    if (failure) *failure = std::string("[write_png_file] File ") + path + " could not be written: " + error + "\n";
    return false;
  }
  return true;
}

}  // namespace

int Image_SetMaxSide(int side) { return g_maxSide.exchange(std::clamp(side, 1, kImageMaxSide)); }
int Image_MaxSide() { return g_maxSide.load(); }

uint32_t* PNG_Load(const uint8_t* data, size_t size, int* width, int* height) {
  int w = -1, h = -1;
  uint32_t* pixels = ReadPNG(data, size, &w, &h);
  if (!pixels) w = h = -1;
  if (width) *width = w;
  if (height) *height = h;
  return pixels;
}

void PNG_Free(uint32_t* pixels) { MemoryManager::Release(pixels); }

bool PNG_Encode(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out) {
  if (!out) return false;
  const char* step = nullptr;
  return EncodePNG(rgba, width, height, out, &step);
}

bool PNG_WriteToPath(const char* path, const uint8_t* rgba, int width, int height) {
  return WritePNGFile(path, rgba, width, height, nullptr);
}

bool write_png_file(const char* fileName, const uint8_t* rgba, int width, int height) {
  std::string path = LoadSave_MapToSaveArea(fileName ? fileName : "");
  if (path.empty()) {
    g_DebugConsole->Output("[write_png_file] File %s could not be opened for writing\n", fileName ? fileName : "");
    return false;
  }
  if (!File_CreateDirectoryFor(path)) {
    g_DebugConsole->Output("[write_png_file] File %s could not be opened for writing\n", path.c_str());
    return false;
  }
  std::string failure;
  if (!WritePNGFile(path.c_str(), rgba, width, height, &failure)) {
    g_DebugConsole->Output("%s", failure.c_str());
    return false;
  }
  return true;
}

std::vector<uint8_t> Image_ArgbToRgba(const uint32_t* words, size_t count) {
  std::vector<uint8_t> rgba(count * 4);
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = words[i];
    rgba[i * 4 + 0] = static_cast<uint8_t>(c >> 16);
    rgba[i * 4 + 1] = static_cast<uint8_t>(c >> 8);
    rgba[i * 4 + 2] = static_cast<uint8_t>(c);
    rgba[i * 4 + 3] = static_cast<uint8_t>(c >> 24);
  }
  return rgba;
}
