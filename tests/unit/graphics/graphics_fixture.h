// A recording device installed as the current device, with the render-state
// cache, transforms and batch pool back at their start state.
#pragma once
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/batching.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "platform/gfx/recording/recording_device.h"

class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Graphics_SetDevice(&device);
    VertexBatch_ReleaseAll();
    RenderState_ResetForTests();
    Matrix_ResetForTests();
    VertexBatch_SetPerBatchFlush(false);
    device.ClearLog();
  }
  void TearDown() override {
    VertexBatch_ReleaseAll();
    VertexBatch_SetPerBatchFlush(false);
    RenderState_ResetForTests();
    Matrix_ResetForTests();
    Graphics_SetDevice(nullptr);
  }

  static uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
  }

  gfx::RecordingDevice device;
};
