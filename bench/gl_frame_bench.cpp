// Whole frames on OpenGL: 20,000 textured quads drawn into the screen
// texture, copied to the window and presented. On the software renderer the
// frames per second are a trend to watch, not a target.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "gl_bench.h"
#include "quads.h"

namespace {

constexpr int kQuadsPerFrame = 20000;
constexpr int kWidth = 640, kHeight = 480;

void GlFrames(benchmark::State& state, int texturesPerFrame) {
  auto display = bench::GLDisplay::Start(state, "gl frame bench", kWidth, kHeight);
  if (!display) return;
  gfx::GLDevice* device = display->Device();
  std::vector<uint32_t> texels(16 * 16, 0xFF80C0FFu);
  std::vector<gfx::TextureHandle> textures;
  for (int i = 0; i < texturesPerFrame; ++i) {
    textures.push_back(device->CreateTexture(16, 16, 0));
    device->UpdateTexture(textures.back(), 0, 0, 16, 16, texels.data(), 16);
  }
  const int run = kQuadsPerFrame / texturesPerFrame;
  int64_t frames = 0;
  size_t draws = 0;
  for (auto _ : state) {
    VertexBatch_ResetCount();
    Graphics_BeginFrame();
    bench::WriteQuads(kQuadsPerFrame, run, textures.front());
    Graphics_EndFrame(true);
    draws += static_cast<size_t>(VertexBatch_Count());
    ++frames;
  }
  state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["draw_calls_per_frame"] = static_cast<double>(draws) / static_cast<double>(frames);
}

void BM_GlFrame_OneTexture(benchmark::State& state) { GlFrames(state, 1); }
BENCHMARK(BM_GlFrame_OneTexture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GlFrame_200Textures(benchmark::State& state) { GlFrames(state, 200); }
BENCHMARK(BM_GlFrame_200Textures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
