// The streaming workers: how many times faster than real time a channel's
// fill path decodes a mono 44.1 kHz stream, and the main thread's cost of the
// per-frame update of COggAudio with 32 streams playing on the silent output.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/ogg_stream.h"
#include "core/options.h"
#include "unit/audio/sine_ogg.h"

namespace {

constexpr int kRate = 44100;

const testwav::Bytes& TenSeconds() {
  static const testwav::Bytes ogg = testogg::Sine(441, 0.5, kRate, 10 * kRate);
  return ogg;
}

// Counter "x_real_time": seconds of sound decoded per second of decoding.
void BM_OggChannelFill(benchmark::State& state) {
  AudioAsset asset;
  asset.compressed = true;
  asset.compressed_data = TenSeconds();
  SOggChannel channel;
  if (asset.compressed_data.empty() || !OggChannel_Open(channel, asset)) {
    state.SkipWithError("no Ogg stream (is oggenc installed?)");
    return;
  }
  std::vector<uint8_t> buffer(kOggBufferBytes);
  size_t bytes = 0;
  for (auto _ : state) {
    bytes += OggChannel_Decode(channel, true, buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
  }
  OggChannel_Close(channel);
  state.counters["x_real_time"] = benchmark::Counter(double(bytes) / (2.0 * kRate), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OggChannelFill);

void BM_OggAudioUpdate(benchmark::State& state) {
  setenv("ALSOFT_DRIVERS", "null", 0);
  Options_Mutable().new_audio = true;
  Sound_InitHardware();
  if (!Audio_IsOn() || TenSeconds().empty()) {
    state.SkipWithError("no audio output or no Ogg stream");
    return;
  }
  AudioAsset asset;
  asset.name = "bench.ogg";
  asset.compressed = true;
  asset.compressed_data = TenSeconds();
  std::vector<std::unique_ptr<AudioVoice>> voices;
  for (int32_t i = 0; i < kDefaultChannels - 1; ++i) {
    auto v = std::make_unique<AudioVoice>();
    v->source_index = i;
    v->active = v->streamed = i < 32;
    if (v->active) OggAudio().PlaySound(i, asset, true);
    voices.push_back(std::move(v));
  }
  AudioVoice music;
  music.source_index = kDefaultChannels - 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (auto _ : state) OggAudio().Update(voices, music);
  SoundHardware_Quit();
}
BENCHMARK(BM_OggAudioUpdate);

}  // namespace

BENCHMARK_MAIN();
