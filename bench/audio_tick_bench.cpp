// The main thread's cost of the audio frame update with 32 playing voices,
// 8 of them on emitters that move every frame, on OpenAL's silent output.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "audio/audio.h"
#include "audio/audio_voices.h"
#include "core/game_data.h"
#include "core/options.h"
#include "pack.h"
#include "unit/audio/audio_game.h"
#include "unit/audio/sine_wav.h"

namespace {

void BM_AudioTick(benchmark::State& state) {
  setenv("ALSOFT_DRIVERS", "null", 0);
  const std::string wav = testwav::Hex(testwav::Sine(441, 0.5, 44100, 44100));
  GameDataFile file(twpack::BuildFromDescription("SOUND \"tone\"\nAUDIO bytes=" + wav + "\n"));
  if (!LoadAudioChunks(file)) {
    state.SkipWithError("the sound did not load");
    return;
  }
  Options_Mutable().new_audio = true;
  Sound_InitHardware();
  if (!Audio_IsOn()) {
    state.SkipWithError("no audio output");
    return;
  }
  Audio_Prepare();
  int emitters[8];
  for (int i = 0; i < 8; ++i) {
    emitters[i] = Audio_CreateEmitter();
    Audio_PlaySoundOn(emitters[i], 0, 1, 1);
  }
  for (int i = 0; i < 24; ++i) Audio_SetGain(Audio_PlaySound(0, 1, 1), 0.0f, 1000000);
  float x = 0;
  for (auto _ : state) {
    x += 1.0f;
    for (int e : emitters) Audio_SetEmitterPosition(e, x, 0, 0);
    Audio_Tick();
  }
  SoundHardware_Quit();
  Sound_Clear();
}
BENCHMARK(BM_AudioTick);

}  // namespace

BENCHMARK_MAIN();
