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
#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/gl/gl_window.h"
#include "quads.h"

namespace {

constexpr int kQuadsPerFrame = 20000;
constexpr int kWidth = 640, kHeight = 480;

void GlFrames(benchmark::State& state, int texturesPerFrame) {
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::string error;
  auto window = gfx::GLWindow::Create("gl frame bench", kWidth, kHeight, false, &error);
  if (!window) {
    state.SkipWithError(("no OpenGL 3.3 context: " + error).c_str());
    return;
  }
  auto device = std::make_unique<gfx::GLDevice>(window->Window());
  Display_UseDeviceForTests(device.get());
  Display_SetScreenSize(kWidth, kHeight);
  GR_D3D_Init(kWidth, kHeight, 0);
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
  Display_UseDeviceForTests(nullptr);
  device.reset();
}

void BM_GlFrame_OneTexture(benchmark::State& state) { GlFrames(state, 1); }
BENCHMARK(BM_GlFrame_OneTexture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GlFrame_200Textures(benchmark::State& state) { GlFrames(state, 200); }
BENCHMARK(BM_GlFrame_200Textures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
