// Feeds arbitrary bytes to the PNG reader. A decode either fails cleanly or
// gives a sane size whose every pixel can be read; what decodes is written
// back out and must read again as the same pixels. Either way every block is
// given back. When the last byte is odd every chunk's checksum is mended
// first, so that mutations reach past the checksum tests into the decoder.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Image_SetMaxSide(1024);  // keeps each input's memory small
  return 0;
}

namespace {
void MendChecksums(std::vector<uint8_t>& png) {
  size_t p = 8;
  while (p + 12 <= png.size()) {
    const size_t n = size_t(png[p]) << 24 | size_t(png[p + 1]) << 16 | size_t(png[p + 2]) << 8 | png[p + 3];
    if (n > png.size() - p - 12) break;
    const uint32_t crc = uint32_t(crc32(0, &png[p + 4], uInt(n + 4)));
    for (int i = 0; i < 4; ++i) png[p + 8 + n + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    p += 12 + n;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  std::vector<uint8_t> input(data, data + size);
  if (size && (data[size - 1] & 1)) MendChecksums(input);
  int w = 0, h = 0;
  uint32_t* pixels = PNG_Load(input.data(), input.size(), &w, &h);
  if (!pixels) {
    if (w != -1 || h != -1) std::abort();
  } else {
    if (w <= 0 || h <= 0 || w > Image_MaxSide() || h > Image_MaxSide()) std::abort();
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
      const uint32_t p = pixels[i];
      rgba[i * 4] = uint8_t(p >> 16);
      rgba[i * 4 + 1] = uint8_t(p >> 8);
      rgba[i * 4 + 2] = uint8_t(p);
      rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    std::vector<uint8_t> png;
    if (!PNG_Encode(rgba.data(), w, h, &png)) std::abort();
    int w2 = 0, h2 = 0;
    uint32_t* again = PNG_Load(png.data(), png.size(), &w2, &h2);
    if (!again || w2 != w || h2 != h) std::abort();
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i)
      if (again[i] != pixels[i]) std::abort();
    PNG_Free(again);
    PNG_Free(pixels);
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
