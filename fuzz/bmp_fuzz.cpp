// Feeds arbitrary bytes to the BMP loader (TBitmap::LoadFromStream), then
// runs what loads through CBitmap32 and its editing operations. Nothing may
// read or write outside a block, and every block is given back. The last
// byte picks the editing flags.
#include <cstdint>
#include <cstdlib>

#include "graphics/bitmap.h"
#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Image_SetMaxSide(1024);  // keeps each input's memory small
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t blocks = MemoryManager::LiveBlocks();
  {
    const uint8_t flags = size ? data[size - 1] : 0;
    TBitmap bitmap;
    bitmap.LoadFromStream(data, size, 0);
    if (bitmap.Block() && !bitmap.HasRows()) std::abort();
    CBitmap32 image = CBitmap32::Strip(bitmap, flags & 1, flags & 2, flags & 4);
    if (image.IsValid()) {
      if (image.GetWidth() != bitmap.GetWidth() || image.GetHeight() != bitmap.GetHeight()) std::abort();
      CBitmap32 part = CBitmap32::Part(image, 1, 1, image.GetWidth() / 2, image.GetHeight() / 2);
      image.SetAlphaFrom(part);
      auto bounds = image.GetBounds();
      if (!bounds) std::abort();
      auto back = image.ToTBitmap();
      if (!back) std::abort();
      CBitmap32 again = CBitmap32::FromTBitmap(*back, false, false);
      if (!again.IsValid()) std::abort();
      auto loader = BitmapLoader_Create(image.Pixels(), image.GetWidth(), image.GetHeight());
      if (!loader || !loader->GetFrame(0)) std::abort();
      image.Resize(1 + flags % 13, 1 + flags % 7);
    }
    TBitmap copy;
    copy.Assign(bitmap);
    if (copy.Block() && !copy.HasRows()) std::abort();
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
