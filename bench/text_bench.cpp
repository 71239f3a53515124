// 100 wrapped texts of 200 characters a frame, in the built-in font and in a
// font file's font (whose glyphs come from the glyph page): glyphs per second
// on the recording device (the engine's own cost) and on OpenGL (the
// software renderer when headless) as a trend.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "draw/draw_state.h"
#include "draw/fonts.h"
#include "draw/text.h"
#include "files/files.h"
#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/render_states.h"
#include "graphics/viewport.h"
#include "gl_bench.h"
#include "platform/gfx/recording/recording_device.h"

namespace {

constexpr int kTexts = 100, kLength = 200;
constexpr int kWidth = 640, kHeight = 480;

// Words of 2 to 9 letters, the same every run.
std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  uint32_t seed = 12345;
  for (int t = 0; t < kTexts; ++t) {
    std::string s;
    while (s.size() < kLength) {
      seed = seed * 1103515245u + 12345u;
      const int word = 2 + int(seed >> 16) % 8;
      for (int i = 0; i < word && s.size() < kLength; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += char('a' + (seed >> 16) % 26 - ((seed >> 8) % 5 == 0 ? 32 : 0));
      }
      if (s.size() < kLength) s += ' ';
    }
    texts.push_back(s);
  }
  return texts;
}

void DrawFrame(const std::vector<std::string>& texts) {
  for (int t = 0; t < kTexts; ++t)
    Text_Draw(float((t * 37) % 200), float((t * 53) % kHeight), texts[size_t(t)].c_str(), -1, 300);
}

// The view and the font to draw in (argument 1: a font file's, else the
// built-in font); the texts.
std::vector<std::string> Start(benchmark::State& state) {
  Graphics_SetViewRect(0, 0, kWidth, kHeight);
  Texture_SetEmbeddedTable(Texture_BuiltinTable().data(), Texture_BuiltinTable().size());
  Text_CreateDefaultFont();
  Draw_State().font = -1;
  if (state.range(0) != 0) {
    // The face is read from the save area; point it at Debian's fonts.
    LoadSave_SetSaveArea("/usr/share/fonts/truetype/dejavu");
    Draw_State().font = Font_Add("DejaVuSans.ttf", 12, false, false, 32, 127);
    LoadSave_SetSaveArea("");
  }
  return Texts();
}

void Finish(benchmark::State& state, int64_t frames) {
  state.counters["glyphs_per_second"] =
      benchmark::Counter(double(frames) * kTexts * kLength, benchmark::Counter::kIsRate);
  Font_Shutdown();
  Text_FreeDefaultFont();
  Texture_FreeAll();
  DrawState_ResetForTests();
}

void BM_Text_RecordingDevice(benchmark::State& state) {
  gfx::RecordingDevice device;
  device.recordCalls = false;
  Graphics_SetDevice(&device);
  VertexBatch_ReleaseAll();
  RenderState_ResetForTests();
  const std::vector<std::string> texts = Start(state);
  int64_t frames = 0;
  for (auto _ : state) {
    DrawFrame(texts);
    VertexBatch_Flush();
    VertexBatch_BeginFrame();
    ++frames;
  }
  Finish(state, frames);
  VertexBatch_ReleaseAll();
  Graphics_SetDevice(nullptr);
}
BENCHMARK(BM_Text_RecordingDevice)->ArgName("font_file")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Text_OpenGL(benchmark::State& state) {
  auto display = bench::GLDisplay::Start(state, "text bench", kWidth, kHeight);
  if (!display) return;
  const std::vector<std::string> texts = Start(state);
  int64_t frames = 0;
  for (auto _ : state) {
    Graphics_BeginFrame();
    DrawFrame(texts);
    Graphics_EndFrame(true);
    ++frames;
  }
  Finish(state, frames);
}
BENCHMARK(BM_Text_OpenGL)->ArgName("font_file")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
