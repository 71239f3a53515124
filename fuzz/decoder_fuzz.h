// What every image-decoder target checks: the decoder fails cleanly or gives
// a sane size whose every pixel `check` accepts (reading each one), and every
// block it took is given back.
#pragma once
#include <cstdint>
#include <cstdlib>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

// Keeps each input's memory small; call from LLVMFuzzerInitialize.
inline int DecoderFuzz_Init() {
  Image_SetMaxSide(1024);
  return 0;
}

template <typename Check>
int DecoderFuzz_Run(uint32_t* (*decode)(const uint8_t*, size_t, int*, int*), const uint8_t* data, size_t size,
                    Check check) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  int w = 0, h = 0;
  uint32_t* pixels = decode(data, size, &w, &h);
  if (pixels) {
    if (w <= 0 || h <= 0 || w > Image_MaxSide() || h > Image_MaxSide()) std::abort();
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i)
      if (!check(pixels[i])) std::abort();
    MemoryManager::Release(pixels);
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
