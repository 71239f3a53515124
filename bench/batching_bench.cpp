// CPU cost of the vertex batcher over the recording device: a frame of
// 20,000 sprite quads, and a flush of the render-state cache with nothing
// to send. The device does no work, so the figures are the engine's own.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "graphics/batching.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "platform/gfx/recording/recording_device.h"
#include "quads.h"

namespace {

constexpr int kQuadsPerFrame = 20000;

struct Setup {
  gfx::RecordingDevice device;
  Setup() {
    device.recordCalls = false;
    Graphics_SetDevice(&device);
    VertexBatch_ReleaseAll();
    RenderState_ResetForTests();
    Matrix_ResetForTests();
  }
  ~Setup() {
    VertexBatch_ReleaseAll();
    Graphics_SetDevice(nullptr);
  }
};

void QuadFrame(benchmark::State& state, int texturesPerFrame) {
  Setup setup;
  const int run = kQuadsPerFrame / texturesPerFrame;
  size_t draws = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    size_t before = setup.device.DrawCallCount();
    bench::WriteQuads(kQuadsPerFrame, run, 1);
    VertexBatch_Flush();
    VertexBatch_BeginFrame();
    draws += setup.device.DrawCallCount() - before;
    ++frames;
  }
  state.SetItemsProcessed(frames * kQuadsPerFrame);
  state.counters["ns_per_quad"] = benchmark::Counter(static_cast<double>(frames * kQuadsPerFrame),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["draw_calls_per_frame"] = static_cast<double>(draws) / static_cast<double>(frames);
}

void BM_QuadFrame_OneTexture(benchmark::State& state) { QuadFrame(state, 1); }
BENCHMARK(BM_QuadFrame_OneTexture)->Unit(benchmark::kMicrosecond);

// A texture change every 100 quads, as a room full of different sprites.
void BM_QuadFrame_200Textures(benchmark::State& state) { QuadFrame(state, 200); }
BENCHMARK(BM_QuadFrame_200Textures)->Unit(benchmark::kMicrosecond);

void BM_StateCacheFlushNothingDirty(benchmark::State& state) {
  Setup setup;
  RenderState_ApplyAll();
  for (auto _ : state) {
    g_RenderStateCache.Flush();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StateCacheFlushNothingDirty);

// The per-frame reapply: every state marked, every one dropped by the shadow.
void BM_StateCacheReapplyAll(benchmark::State& state) {
  Setup setup;
  RenderState_ApplyAll();
  for (auto _ : state) {
    g_RenderStateCache.ReapplyAll();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StateCacheReapplyAll);

}  // namespace

BENCHMARK_MAIN();
