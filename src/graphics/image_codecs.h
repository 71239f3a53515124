// Decoders for PNG, JPEG, GIF and DDS data held in memory, and the PNG writer.
// Every decoder gives a block of width x height words 0xAARRGGBB (rows top to
// bottom) from the engine allocator, or nothing: corrupt, truncated or
// oversized data is refused, never half-decoded. BMP data goes through
// TBitmap::LoadFromStream (graphics/bitmap.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The largest width and height any decoder accepts (and the writer writes).
constexpr int kImageMaxSide = 16384;
// Lowers (or restores) the accepted side for the running process; the fuzz
// targets use it to keep each input's memory small. Returns the old value.
int Image_SetMaxSide(int side);
int Image_MaxSide();

// PNG of any colour type and bit depth (16-bit channels are scaled to 8 with
// rounding). Width and height are -1 on failure. Each call decodes its own
// data; PNG_Free releases what it returned (null is fine).
uint32_t* PNG_Load(const uint8_t* data, size_t size, int* width, int* height);
void PNG_Free(uint32_t* pixels);
// Baseline and progressive JPEG, colour, grey, CMYK and YCCK. The caller
// frees the result with MemoryManager::Release. Width and height are set
// only on success.
uint32_t* JPEG_Load(const uint8_t* data, size_t size, int* width, int* height);
// The first image of a GIF at its logical screen size; the transparent index
// of its graphic-control extension gets alpha 0. The caller frees the result
// with MemoryManager::Release. Width and height are set only on success.
uint32_t* GIF_Load(const uint8_t* data, size_t size, int* width, int* height);

// The top level of a DDS image: DXT1 to DXT5 blocks (DXT2 and DXT4 read as
// DXT3 and DXT5) or 16-, 24- or 32-bit pixels with channel masks. The
// caller frees the result with MemoryManager::Release. Width and height are
// set only on success.
uint32_t* DDS_Load(const uint8_t* data, size_t size, int* width, int* height);

// 0xAARRGGBB words (read-backs) as the R,G,B,A bytes PNG rows are made of.
std::vector<uint8_t> Image_ArgbToRgba(const uint32_t* words, size_t count);

// A PNG file (8-bit RGBA, not interlaced) of `rgba`: rows of width*4 bytes
// in R,G,B,A order, top row first. False (and `out` empty) on bad arguments.
bool PNG_Encode(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out);
// Writes that PNG to exactly `path` through a temporary file renamed over
// it, so a failure never leaves a half-written file; false on any failure.
// Logs nothing and touches no engine state: any thread may call it.
bool PNG_WriteToPath(const char* path, const uint8_t* rgba, int width, int height);
// `fileName` is mapped into the save area (LoadSave_MapToSaveArea), its
// missing directories made, and the pixels (R,G,B,A bytes) written there.
// Each failure is logged on the debug console and returns false.
bool write_png_file(const char* fileName, const uint8_t* rgba, int width, int height);
