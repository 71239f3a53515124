// What the player hears: each case plays sine sounds through the voices in a
// child process whose OpenAL output is the wave writer, then reads the
// recorded mix for its frequency and level. The recording runs in real time,
// so each one is kept short.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "core/game_data.h"
#include "core/options.h"
#include "pack.h"
#include "unit/audio/audio_game.h"
#include "unit/audio/sine_ogg.h"
#include "unit/audio/sine_wav.h"
#include "unit/world_reset.h"

extern char** environ;

namespace {

constexpr double kFrequency = 441.0;  // a whole number of cycles in the 1 s sound
constexpr double kAmplitude = 0.5;
constexpr int kRate = 44100;
constexpr const char* kScenarioVariable = "TW_TEST_MIX_SCENARIO";
// The streamed scenarios' Ogg file and how long the long one plays.
constexpr const char* kOggVariable = "TW_TEST_MIX_OGG";
constexpr const char* kSecondsVariable = "TW_TEST_MIX_SECONDS";

// The recorded mix, one vector of samples (full scale 1) per channel.
struct Mix {
  int rate = 0;
  std::vector<std::vector<double>> channels;
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint32_t(b[at + size_t(i)]) << (8 * i);
  return v;
}

// Reads the `fmt ` and `data` chunks of the writer's extensible WAV, whose
// header the usual readers refuse.
Mix ReadMix(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Mix mix;
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4)) return mix;
  int channels = 0, bits = 0;
  bool is_float = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = Le(b, at + 4, 4);
    const size_t body = at + 8;
    if (!std::memcmp(b.data() + at, "fmt ", 4) && body + 16 <= b.size()) {
      const uint32_t tag = Le(b, body, 2);
      channels = int(Le(b, body + 2, 2));
      mix.rate = int(Le(b, body + 4, 4));
      bits = int(Le(b, body + 14, 2));
      const uint32_t format = tag == 0xFFFE && body + 26 <= b.size() ? Le(b, body + 24, 2) : tag;
      is_float = format == 3;
    } else if (!std::memcmp(b.data() + at, "data", 4) && channels > 0 && bits >= 8) {
      const size_t frame = size_t(channels) * size_t(bits / 8);
      // A writer stopped mid-way leaves the size word unset: use what is there.
      const size_t end = std::min(b.size(), size == 0 || size == 0xFFFFFFFFu ? b.size() : body + size);
      mix.channels.assign(size_t(channels), {});
      for (size_t f = body; f + frame <= end; f += frame) {
        for (int c = 0; c < channels; ++c) {
          const size_t p = f + size_t(c) * size_t(bits / 8);
          double v = 0;
          if (is_float && bits == 32) {
            const uint32_t u = Le(b, p, 4);
            float x;
            std::memcpy(&x, &u, 4);
            v = x;
          } else if (bits == 16) {
            v = int16_t(Le(b, p, 2)) / 32768.0;
          } else if (bits == 32) {
            v = int32_t(Le(b, p, 4)) / 2147483648.0;
          } else if (bits == 8) {
            v = (int(b[p]) - 128) / 128.0;
          }
          mix.channels[size_t(c)].push_back(v);
        }
      }
      break;
    }
    at = body + size + (size & 1);
  }
  return mix;
}

// The first frame where any channel is heard; the recording's end for none.
size_t Onset(const Mix& mix) {
  size_t onset = SIZE_MAX;
  for (const std::vector<double>& s : mix.channels) {
    size_t i = 0;
    while (i < s.size() && i < onset && std::fabs(s[i]) < 0.02) ++i;
    onset = std::min(onset, i);
  }
  return onset == SIZE_MAX ? 0 : onset;
}

// The peak level of a sine (its RMS times the square root of 2) and its
// frequency from upward zero crossings, over [from, to) seconds after the
// sound's onset: a loaded machine may start the sound late, and the output's
// near-silence before it would add crossings.
struct Tone {
  double amplitude = 0, frequency = 0;
};
Tone Measure(const Mix& mix, int channel, double from, double to) {
  const std::vector<double>& s = mix.channels.at(size_t(channel));
  const size_t onset = Onset(mix);
  const size_t a = onset + size_t(from * mix.rate), e = std::min(s.size(), onset + size_t(to * mix.rate));
  Tone t;
  if (e <= a + 1) return t;
  double sum = 0;
  for (size_t i = a; i < e; ++i) sum += s[i] * s[i];
  t.amplitude = std::sqrt(2.0 * sum / double(e - a));
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = a + 1; i < e; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = double(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  if (crossings > 1) t.frequency = (crossings - 1) * mix.rate / (last - first);
  return t;
}

// Checks that the recording holds one unbroken sine of this frequency and
// level from its onset to its end: no run of silence, no drop in level and
// no jump of phase against the phase-continuous sine. The problems found,
// "" for none; `heard` gets the seconds it lasted.
std::string CheckContinuousSine(const Mix& mix, double frequency, double amplitude, double& heard) {
  heard = 0;
  if (mix.channels.empty() || mix.rate <= 0) return "no recording";
  const std::vector<double>& s = mix.channels[0];
  const double threshold = amplitude / 2;
  size_t onset = 0, end = s.size();
  while (onset < s.size() && std::fabs(s[onset]) < threshold) ++onset;
  while (end > onset && std::fabs(s[end - 1]) < threshold) --end;
  if (end <= onset) return "nothing heard";
  heard = double(end - onset) / mix.rate;
  std::string problems;
  // A sine is near zero for only a few samples around each crossing.
  const size_t longest_quiet = size_t(mix.rate / 1000);  // 1 ms
  size_t quiet = 0;
  for (size_t i = onset; i < end; ++i) {
    quiet = std::fabs(s[i]) < amplitude / 20 ? quiet + 1 : 0;
    if (quiet > longest_quiet) {
      problems += "silence at " + std::to_string(double(i) / mix.rate) + " s; ";
      break;
    }
  }
  // Level and phase over windows of ten periods, against a sine started at
  // the onset: the phase must stay where the first window put it.
  const double w = 2 * M_PI * frequency / mix.rate;
  const size_t window = size_t(10 * mix.rate / frequency);
  double first_phase = 0;
  bool have_first = false;
  int reported = 0;
  for (size_t a = onset + window; a + 2 * window <= end && reported < 5; a += window) {
    double i_sum = 0, q_sum = 0;
    for (size_t n = a; n < a + window; ++n) {
      i_sum += s[n] * std::cos(w * double(n));
      q_sum += s[n] * std::sin(w * double(n));
    }
    const double level = 2 * std::hypot(i_sum, q_sum) / double(window);
    const double phase = std::atan2(q_sum, i_sum);
    if (!have_first) {
      first_phase = phase;
      have_first = true;
    }
    const double jump = std::fabs(std::remainder(phase - first_phase, 2 * M_PI));
    if (level < 0.8 * amplitude || level > 1.2 * amplitude || jump > 0.2) {
      problems += "at " + std::to_string(double(a) / mix.rate) + " s level " + std::to_string(level) + " phase " +
                  std::to_string(jump) + "; ";
      ++reported;
    }
  }
  return problems;
}

// ---- the child: plays one case and lets the writer record it ----

void TickFor(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    Audio_Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Emitter at (x, 0, 0) playing sound 0 with the default falloff.
void PlayOnEmitterAt(float x) {
  const int32_t e = Audio_CreateEmitter();
  Audio_SetEmitterPosition(e, x, 0, 0);
  Audio_PlaySoundOn(e, 0, 1, 1);
}

void PlayScenario(const std::string& name) {
  if (name == "plain") {
    Audio_PlaySound(0, 1, 1);
  } else if (name == "gain") {
    Audio_SetGain(Audio_PlaySound(0, 1, 1), 0.5f, 0);
  } else if (name == "pitch") {
    Audio_SetPitch(Audio_PlaySound(0, 1, 1), 2.0f);
  } else if (name == "near") {
    PlayOnEmitterAt(100);
  } else if (name == "far") {
    PlayOnEmitterAt(300);
  } else if (name == "stream_loop") {
    Audio_PlaySound(1, 1, 1);
    TickFor(1.8);
    return;
  } else if (name == "stream_long") {
    // A busy game: most of each 33 ms frame goes to work of its own, and the
    // audio update runs once per frame.
    const double seconds = std::atof(std::getenv(kSecondsVariable));
    Audio_PlaySound(1, 1, 0);
    const auto start = std::chrono::steady_clock::now();
    auto frame = start;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds - 0.5)) {
      Audio_Tick();
      frame += std::chrono::milliseconds(33);
      const auto busy_until = frame - std::chrono::milliseconds(3);
      volatile uint64_t work = 0;
      while (std::chrono::steady_clock::now() < busy_until) work = work + 1;
      std::this_thread::sleep_until(frame);
    }
    return;
  } else if (name == "turned") {
    // Facing -z instead of +z puts +x on the other side.
    Audio_SetListenerOrientation(0, 0, -1, 0, 1, 0);
    PlayOnEmitterAt(100);
  }
  TickFor(0.6);
}

class AudioMix : public WorldTest {
 protected:
  AudioMix() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}

  // Runs this binary again on `scenario` with OpenAL writing its mix to a
  // file, and reads the file.
  static Mix Record(const std::string& scenario, bool stereo, const std::vector<std::string>& extra_env = {}) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tw-mix-" + std::to_string(getpid()) + "-" + scenario);
    fs::create_directories(dir);
    const std::string wav = (dir / "mix.wav").string(), conf = (dir / "alsoft.conf").string();
    std::ofstream(conf) << "[general]\nchannels = " << (stereo ? "stereo" : "mono")
                        << "\nfrequency = 44100\nsample-type = int16\nhrtf = false\n[wave]\nfile = " << wav << "\n";
    std::vector<std::string> env_text = {"ALSOFT_DRIVERS=wave", "ALSOFT_CONF=" + conf,
                                         std::string(kScenarioVariable) + "=" + scenario};
    env_text.insert(env_text.end(), extra_env.begin(), extra_env.end());
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "ALSOFT_", 7) && std::strncmp(*e, kScenarioVariable, std::strlen(kScenarioVariable)))
        env_text.push_back(*e);
    std::vector<char*> envp;
    for (std::string& s : env_text) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string exe = fs::read_symlink("/proc/self/exe").string(), filter = "--gtest_filter=AudioMix.DISABLED_Play",
                also = "--gtest_also_run_disabled_tests";
    char* argv[] = {exe.data(), filter.data(), also.data(), nullptr};
    pid_t pid = 0;
    Mix mix;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return mix;
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << scenario;
    mix = ReadMix(wav);
    fs::remove_all(dir);
    return mix;
  }
};

// The child's side; run only by Record.
TEST_F(AudioMix, DISABLED_Play) {
  const char* scenario = std::getenv(kScenarioVariable);
  ASSERT_TRUE(scenario);
  const std::string wav = testwav::Hex(testwav::Sine(kFrequency, kAmplitude, kRate, kRate));
  std::string description = "SOUND \"tone\"\nAUDIO bytes=" + wav + "\n";
  if (const char* ogg = std::getenv(kOggVariable)) {
    std::ifstream in(ogg, std::ios::binary);
    const testwav::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty()) << ogg;
    description += "SOUND \"stream\" kind=102\nAUDIO bytes=" + testwav::Hex(bytes) + "\n";
  }
  GameDataFile file(twpack::BuildFromDescription(description));
  ASSERT_TRUE(LoadAudioChunks(file));
  Options_Mutable().new_audio = true;
  Sound_InitHardware();
  ASSERT_TRUE(Audio_IsOn()) << "OpenAL's wave writer did not open";
  Audio_Prepare();
  PlayScenario(scenario);
  SoundHardware_Quit();
  Sound_Clear();
  Options_Mutable().new_audio = false;
}

// The steady part of a recording, in seconds after the sound's onset.
constexpr double kFrom = 0.1, kTo = 0.4;

TEST_F(AudioMix, APlayedSoundIsHeardAtItsFrequencyAndLevel) {
  const Mix mix = Record("plain", false);
  ASSERT_EQ(mix.channels.size(), 1u);
  const Tone t = Measure(mix, 0, kFrom, kTo);
  EXPECT_NEAR(t.frequency, kFrequency, 2.0);
  EXPECT_NEAR(t.amplitude, kAmplitude, 0.02);
}

TEST_F(AudioMix, GainAndPitchChangeLevelAndFrequency) {
  const Tone gain = Measure(Record("gain", false), 0, kFrom, kTo);
  EXPECT_NEAR(gain.amplitude, kAmplitude / 2, 0.01) << "gain 0.5 halves the amplitude";
  EXPECT_NEAR(gain.frequency, kFrequency, 2.0);
  const Tone pitch = Measure(Record("pitch", false), 0, kFrom, kTo);
  EXPECT_NEAR(pitch.frequency, 2 * kFrequency, 4.0) << "pitch 2 doubles the frequency";
  EXPECT_NEAR(pitch.amplitude, kAmplitude, 0.02);
}

TEST_F(AudioMix, AnEmitterThreeTimesFurtherIsAThirdAsLoud) {
  const Tone near = Measure(Record("near", false), 0, kFrom, kTo);
  const Tone far = Measure(Record("far", false), 0, kFrom, kTo);
  EXPECT_NEAR(near.amplitude, kAmplitude, 0.02) << "at the reference distance the level is whole";
  ASSERT_GT(near.amplitude, 0.1);
  EXPECT_NEAR(far.amplitude / near.amplitude, 1.0 / 3.0, 0.02);
}

TEST_F(AudioMix, LeftAndRightFollowTheListenersOrientation) {
  // At the start the listener faces +z with +y up, so +x is on its left.
  const Mix facing = Record("near", true);
  const Mix turned = Record("turned", true);
  ASSERT_EQ(facing.channels.size(), 2u);
  ASSERT_EQ(turned.channels.size(), 2u);
  const double fl = Measure(facing, 0, kFrom, kTo).amplitude, fr = Measure(facing, 1, kFrom, kTo).amplitude;
  const double tl = Measure(turned, 0, kFrom, kTo).amplitude, tr = Measure(turned, 1, kFrom, kTo).amplitude;
  EXPECT_GT(fl, 2 * fr) << fl << " " << fr;
  EXPECT_GT(tr, 2 * tl) << tl << " " << tr;
}

// Records a streamed sine of `seconds` (whole periods) played by `scenario`.
Mix RecordStreamedSine(const std::string& scenario, double seconds, const std::string& play_seconds) {
  namespace fs = std::filesystem;
  const testwav::Bytes ogg = testogg::Sine(kFrequency, kAmplitude, kRate, int(seconds * kRate));
  EXPECT_FALSE(ogg.empty()) << "oggenc did not run";
  const fs::path path = fs::temp_directory_path() / ("tw-stream-" + std::to_string(getpid()) + ".ogg");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
  struct Access : AudioMix {
    using AudioMix::Record;
  };
  Mix mix = Access::Record(scenario, false,
                           {std::string(kOggVariable) + "=" + path.string(),
                            std::string(kSecondsVariable) + "=" + play_seconds});
  fs::remove(path);
  return mix;
}

TEST_F(AudioMix, ALoopedStreamedSineContinuesWithoutAGapAcrossTheLoopPoint) {
  // One second of 441 Hz is whole periods, so the loop joins in phase.
  const Mix mix = RecordStreamedSine("stream_loop", 1.0, "0");
  double heard = 0;
  EXPECT_EQ(CheckContinuousSine(mix, kFrequency, kAmplitude, heard), "");
  EXPECT_GT(heard, 1.4) << "the loop point was crossed";
}

// Minutes long in the normal build; its own ctest entry sets the length.
TEST_F(AudioMix, ALongStreamPlaysWithoutGapsWhileTheMainThreadIsBusy) {
  const char* seconds_text = std::getenv("TW_LONG_STREAM_SECONDS");
  if (!seconds_text) GTEST_SKIP() << "run by its own ctest entry, which sets TW_LONG_STREAM_SECONDS";
  const double seconds = std::atof(seconds_text);
  ASSERT_GT(seconds, 2.0);
  const Mix mix = RecordStreamedSine("stream_long", seconds + 1, seconds_text);
  double heard = 0;
  EXPECT_EQ(CheckContinuousSine(mix, kFrequency, kAmplitude, heard), "");
  EXPECT_GT(heard, seconds - 1.5);
}

}  // namespace
