// Graphics fixtures over the shared world reset, in layers:
//   GraphicsTest         a recording device installed as the current device,
//                        with the render-state cache, transforms, batch pool
//                        and room drawing back at their start state;
//   TexturedGraphicsTest also no sprites, backgrounds, textures or pages,
//                        and no draw hooks;
//   DisplayGraphicsTest  also the display driving the recording device over
//                        a fresh window.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/game_data.h"

#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "graphics/viewport.h"
#include "graphics/textures.h"
#include "graphics/window.h"
#include "pack.h"
#include "platform/gfx/recording/recording_device.h"
#include "sprites/backgrounds.h"
#include "sprites/sprites.h"
#include "unit/world_reset.h"

// `device` becomes the current device over fresh graphics state.
inline void GraphicsState_Reset(gfx::Device* device) {
  Graphics_SetDevice(device);
  VertexBatch_ReleaseAll();
  VertexBatch_SetPerBatchFlush(false);
  RenderState_ResetForTests();
  Matrix_ResetForTests();
  RoomDraw_ResetForTests();
}

// The state back at its start and no device current.
inline void GraphicsState_Clear() {
  VertexBatch_ReleaseAll();
  VertexBatch_SetPerBatchFlush(false);
  RenderState_ResetForTests();
  Matrix_ResetForTests();
  RoomDraw_ResetForTests();
  Graphics_SetDevice(nullptr);
}

class GraphicsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    GraphicsState_Reset(&device);
    device.ClearLog();
  }
  void TearDown() override {
    GraphicsState_Clear();
    WorldTest::TearDown();
  }

  static uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
  }

  gfx::RecordingDevice device;
};

// No sprites, backgrounds, textures or pages, and no draw hooks.
inline void Textures_Reset() {
  Sprite_FreeAll();
  Background_Clear();
  Texture_FreeAll();
  TPage_Clear();
  Texture_SetDrawHooks({});
}

// The image chunks (TPAG, TXTR, SPRT, BGND) of a container written from a
// tw-pack description, loaded into the tables. Page entries point into the
// container, so it lives as long as this.
class ImageChunks {
 public:
  // Throws what the loaders throw.
  void Load(const std::string& description) {
    bytes_ = twpack::BuildFromDescription(description);
    file_ = std::make_unique<GameDataFile>(bytes_);
    for (const ChunkRef& c : file_->Chunks()) {
      ChunkBody body(*file_, c);
      if (!std::strcmp(c.tag, "TPAG")) TPage_Load(body);
      if (!std::strcmp(c.tag, "TXTR")) Texture_LoadPages(body);
      if (!std::strcmp(c.tag, "SPRT")) Sprite_Load(body);
      if (!std::strcmp(c.tag, "BGND")) Background_Load(body);
    }
  }

 private:
  std::vector<uint8_t> bytes_;
  std::unique_ptr<GameDataFile> file_;
};

class TexturedGraphicsTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    Textures_Reset();
  }
  void TearDown() override {
    Textures_Reset();
    GraphicsTest::TearDown();
  }
};

class DisplayGraphicsTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    Window_ResetForTests();
    Display_UseDeviceForTests(&device);
  }
  void TearDown() override {
    Display_UseDeviceForTests(nullptr);
    Window_ResetForTests();
    GraphicsTest::TearDown();
  }
};
