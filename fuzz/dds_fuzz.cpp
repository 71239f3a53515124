// Feeds arbitrary bytes to the DDS decoder: it fails cleanly or gives a sane
// size whose every pixel can be read, and every block is given back.
#include <cstdint>
#include <cstdlib>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Image_SetMaxSide(1024);  // keeps each input's memory small
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  int w = 0, h = 0;
  uint32_t* pixels = DDS_Load(data, size, &w, &h);
  if (pixels) {
    if (w <= 0 || h <= 0 || w > Image_MaxSide() || h > Image_MaxSide()) std::abort();
    volatile uint32_t sum = 0;
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) sum = sum + pixels[i];
    MemoryManager::Release(pixels);
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
