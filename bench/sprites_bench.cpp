// 10,000 sprites from one texture page per frame (a batch buffer holds about
// 2,700 quads, so a frame is 4 draw calls): on the recording device,
// the draw calls per frame and the CPU time per sprite; on OpenGL (the
// software renderer when headless), frames per second as a trend.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/render_states.h"
#include "graphics/viewport.h"
#include "graphics/textures.h"
#include "gl_bench.h"
#include "platform/gfx/recording/recording_device.h"
#include "sprites/sprites.h"

namespace {

constexpr int kSprites = 10000;
constexpr int kWidth = 640, kHeight = 480;

// Every sprite of the frame, spread over the view, a few of them turned.
void DrawFrame(CSprite* s, int frameNumber) {
  for (int i = 0; i < kSprites; ++i) {
    const float x = float((i * 37) % kWidth), y = float((i * 53) % kHeight);
    s->DrawExt(i + frameNumber, x, y, 1, 1, float(i % 8 == 0 ? 30 : 0), 0xFFFFFF, 1);
  }
}

// Page entries, as data-file sprites draw: all frames on one page.
CSprite* PageSprite() {
  std::vector<uint32_t> px(64 * 64, 0xFF80C0FFu);
  const int page = Texture_AddFromPixels(64, 64, px.data(), px.size() * 4);
  const int sprite = Sprite_CreateNew();
  CSprite* s = Sprite_Get(sprite);
  s->width = s->height = 16;
  s->xOrigin = s->yOrigin = 8;
  s->ComputeRadius();
  std::vector<int32_t> entries;
  for (int f = 0; f < 4; ++f) {
    TexturePageEntry e;
    e.x = 16 * f, e.width = e.height = e.cropWidth = e.cropHeight = e.originalWidth = e.originalHeight = 16;
    e.texture = page;
    entries.push_back(TPage_Add(e));
  }
  s->SetFrameEntries(entries);
  return s;
}

void BM_Sprites_RecordingDevice(benchmark::State& state) {
  gfx::RecordingDevice device;
  device.recordCalls = false;
  Graphics_SetDevice(&device);
  VertexBatch_ReleaseAll();
  RenderState_ResetForTests();
  Graphics_SetViewRect(0, 0, kWidth, kHeight);
  CSprite* s = PageSprite();
  int frame = 0;
  size_t draws = 0;
  for (auto _ : state) {
    VertexBatch_ResetCount();
    DrawFrame(s, frame++);
    VertexBatch_Flush();
    VertexBatch_BeginFrame();
    draws += size_t(VertexBatch_Count());
  }
  state.counters["draw_calls_per_frame"] = double(draws) / double(frame);
  state.counters["ns_per_sprite"] =
      benchmark::Counter(double(kSprites), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(int64_t(frame) * kSprites);
  Sprite_FreeAll();
  Texture_FreeAll();
  TPage_Clear();
  VertexBatch_ReleaseAll();
  Graphics_SetDevice(nullptr);
}
BENCHMARK(BM_Sprites_RecordingDevice)->Unit(benchmark::kMicrosecond);

void BM_Sprites_OpenGL(benchmark::State& state) {
  auto display = bench::GLDisplay::Start(state, "sprites bench", kWidth, kHeight);
  if (!display) return;
  Graphics_SetViewRect(0, 0, kWidth, kHeight);
  CSprite* s = PageSprite();
  int64_t frames = 0;
  size_t draws = 0;
  for (auto _ : state) {
    VertexBatch_ResetCount();
    Graphics_BeginFrame();
    DrawFrame(s, int(frames));
    Graphics_EndFrame(true);
    draws += size_t(VertexBatch_Count());
    ++frames;
  }
  state.counters["frames_per_second"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  state.counters["draw_calls_per_frame"] = double(draws) / double(frames);
  Sprite_FreeAll();
  Texture_FreeAll();
  TPage_Clear();
}
BENCHMARK(BM_Sprites_OpenGL)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
