// Feeds arbitrary containers to the image chunk loaders (TPAG, TXTR, SPRT)
// over the recording device, then draws every frame of every sprite.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/game_data.h"
#include "graphics/batching.h"
#include "graphics/image_codecs.h"
#include "graphics/render_states.h"
#include "graphics/textures.h"
#include "platform/gfx/recording/recording_device.h"
#include "sprites/sprites.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static gfx::RecordingDevice device;
  static bool once = [] {
    device.recordCalls = false;
    Image_SetMaxSide(256);
    return true;
  }();
  (void)once;
  Graphics_SetDevice(&device);
  try {
    GameDataFile file(std::vector<uint8_t>(data, data + size));
    for (const ChunkRef& c : file.Chunks()) {
      ChunkBody body(file, c);
      if (c.length == 0) continue;
      if (!std::memcmp(c.tag, "TPAG", 4)) TPage_Load(body);
      else if (!std::memcmp(c.tag, "TXTR", 4)) Texture_LoadPages(body);
      else if (!std::memcmp(c.tag, "SPRT", 4)) Sprite_Load(body);
      else if (!std::memcmp(c.tag, "BGND", 4)) Background_Load(body);
    }
    for (int i = 0; i < Background_Count(); ++i) {
      CBackgroundImage* b = Background_Get(i);
      if (!b) continue;
      b->Draw(2, 2);
      b->DrawTiled(1, 1, 1, 1, true, true, 0, 0, 64, 64, 0xFFFFFF, 1);
      b->DrawPart(1, 1, 3, 3, 5, 5, 2, 2, 0xFFFFFF, 1);
    }
    for (int i = 0; i < Sprite_Count(); ++i) {
      CSprite* s = Sprite_Get(i);
      if (!s) continue;
      for (int f = 0; f < s->frameCount && f < 8; ++f) {
        s->Draw(f, 10, 10);
        s->DrawExt(f, 10, 10, 2, -1, 45, 0xFFFFFF, 1);
        s->DrawPart(f, 1, 1, 5, 5, 0, 0, 1, 1, 0xFFFFFF, 1);
        s->DrawTiled(f, 3, 3, 1, 1, true, true, 0, 0, 64, 64, 0xFFFFFF, 1);
        s->MaskSolid(f, 1, 1);
      }
    }
  } catch (const DataError&) {
    // Refusing damaged data is the expected outcome.
  }
  VertexBatch_Flush();
  Sprite_FreeAll();
  Background_Clear();
  Texture_FreeAll();
  TPage_Clear();
  VertexBatch_ReleaseAll();
  Graphics_SetDevice(nullptr);
  return 0;
}
