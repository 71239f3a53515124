// The streaming workers on OpenAL's silent output: which worker serves a
// source, sounds that drain and free their voice, commands taken in one
// pass, stops that must reach the worker before the source is reused,
// streams that cannot play, and workers that end with the audio system.
// What is heard is checked in audio_mix_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/ogg_stream.h"
#include "core/game_data.h"
#include "core/options.h"
#include "files/files.h"
#include "pack.h"
#include "platform/al.h"
#include "unit/audio/audio_game.h"
#include "unit/audio/audio_system_test.h"
#include "unit/audio/sine_ogg.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

namespace {

testwav::Bytes Fixture(const char* name) {
  std::ifstream f(std::string(TW_FIXTURES_DIR) + "/audio/" + name, std::ios::binary);
  return testwav::Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(OggStreamMapping, SourceSIsServedByWorkerSMod4AsChannelSDiv4) {
  COggAudio audio;
  audio.Init(4, 128, 127);
  struct Case {
    int32_t source, worker, channel;
  } cases[] = {{127, 3, 31}, {5, 1, 1}, {0, 0, 0}, {4, 0, 1}, {126, 2, 31}};
  for (const Case& c : cases) {
    EXPECT_EQ(audio.WorkerOf(c.source), c.worker) << c.source;
    EXPECT_EQ(audio.ChannelOf(c.source), c.channel) << c.source;
  }
  EXPECT_EQ(audio.ChannelCount(), 128);
  audio.Init(4, 130, 129);
  EXPECT_EQ(audio.ChannelCount(), 132) << "rounded up to whole workers";
  EXPECT_EQ(audio.StartedWorkers(), 0) << "workers start on first need";
}

// A stream with no samples, looping, must not rewind for ever.
TEST(OggStreamDecode, AnEmptyLoopingStreamEndsTheFill) {
  const testwav::Bytes ogg = testogg::Encode(testwav::Pcm16(1, 22050, {}));
  ASSERT_FALSE(ogg.empty()) << "oggenc did not run";
  AudioAsset asset;
  asset.name = "empty.ogg";
  asset.compressed = true;
  asset.compressed_data = ogg;
  SOggChannel channel;
  ASSERT_TRUE(OggChannel_Open(channel, asset));
  std::vector<uint8_t> out(kOggBufferBytes);
  auto fill = std::async(std::launch::async,
                         [&] { return OggChannel_Decode(channel, true, out.data(), out.size()); });
  if (fill.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "the fill spins on an empty looping stream";
    std::_Exit(1);
  }
  EXPECT_EQ(fill.get(), 0u);
  OggChannel_Close(channel);
}

TEST(OggStreamDecode, ALoopingFillContinuesFromTheStartInsideOneBuffer) {
  const testwav::Bytes ogg = Fixture("sine_mono.ogg");  // 0.25 s mono: 11025 bytes
  AudioAsset asset;
  asset.compressed = true;
  asset.compressed_data = ogg;
  SOggChannel channel;
  ASSERT_TRUE(OggChannel_Open(channel, asset));
  std::vector<uint8_t> out(kOggBufferBytes);
  EXPECT_EQ(OggChannel_Decode(channel, true, out.data(), out.size()), kOggBufferBytes);
  OggChannel_Close(channel);
  ASSERT_TRUE(OggChannel_Open(channel, asset));
  EXPECT_EQ(OggChannel_Decode(channel, false, out.data(), out.size()), 22050u / 4 * 2) << "without loop it ends";
  OggChannel_Close(channel);
}

class OggStream : public AudioSystemTest {
 protected:
  void TearDown() override {
    SoundHardware_Quit();
    EXPECT_EQ(OggAudio().StartedWorkers(), 0) << "workers end with the audio system";
    AudioSystemTest::TearDown();
  }

  // Sound 0 a short streamed sine (one buffer), 1 a long streamed sine, 2 a
  // sine in memory, 3 a file-streamed sound whose file is missing, 4 a
  // stream of three channels, 5 an empty stream, 6 a file-streamed sound
  // found beside the game.
  void Start() {
    const std::string short_ogg = testwav::Hex(testogg::Sine(441, 0.5, 22050, 2205));
    const std::string long_ogg = testwav::Hex(testogg::Sine(441, 0.5, 44100, 3 * 44100));
    const std::string empty_ogg = testwav::Hex(testogg::Encode(testwav::Pcm16(1, 22050, {})));
    ASSERT_FALSE(short_ogg.empty() || long_ogg.empty() || empty_ogg.empty()) << "oggenc did not run";
    const std::string wav = testwav::Hex(testwav::Sine(441, 0.5, 44100, 44100));
    file_ = std::make_unique<GameDataFile>(twpack::BuildFromDescription(
        "SOUND \"short\" kind=102\nSOUND \"long\" kind=102\nSOUND \"mem\"\nSOUND \"missing\" kind=100 "
        "file=\"missing.ogg\"\nSOUND \"three\" kind=102\nSOUND \"empty\" kind=102\n"
        "SOUND \"beside\" kind=100 file=\"sine_mono.ogg\"\n"
        "AUDIO bytes=" +
        short_ogg + "\nAUDIO bytes=" + long_ogg + "\nAUDIO bytes=" + wav + "\nAUDIO none\nAUDIO bytes=" +
        testwav::Hex(Fixture("sine_3ch.ogg")) + "\nAUDIO bytes=" + empty_ogg + "\nAUDIO none\n"));
    ASSERT_TRUE(LoadAudioChunks(*file_));
    setenv("ALSOFT_DRIVERS", "null", 0);
    Options_Mutable().new_audio = true;
    Sound_InitHardware();
    ASSERT_TRUE(Audio_IsOn()) << "OpenAL's null output did not open";
    Audio_Prepare();
    console_.text.clear();
  }

  // Ticks like frames until `done` holds or `seconds` pass; whether it held.
  template <typename F>
  static bool TickUntil(F&& done, double seconds = 3.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      Audio_Tick();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  static void TickFor(double seconds) {
    TickUntil([] { return false; }, seconds);
  }
  static al::SourceState StateOf(int32_t id) {
    const AudioVoice* v = Audio_FindVoice(id);
    return v ? al::GetSourceState(Audio_SourceOf(*v)) : al::SourceState::kUnknown;
  }

  std::unique_ptr<GameDataFile> file_;
};

TEST_F(OggStream, AShortSoundIsQueuedAsOneBufferDrainsAndFreesItsVoice) {
  Start();
  const int32_t id = Audio_PlaySound(0, 1, 0);
  ASSERT_GT(id, 0);
  const AudioVoice* v = Audio_FindVoice(id);
  ASSERT_TRUE(v && v->streamed);
  const uint32_t source = Audio_SourceOf(*v);
  ASSERT_TRUE(TickUntil([&] { return al::GetSourceState(source) == al::SourceState::kPlaying; }, 1.0));
  EXPECT_EQ(al::BuffersQueued(source), 1) << "0.1 s of samples fit one buffer";
  EXPECT_TRUE(Audio_IsPlaying(id));
  ASSERT_TRUE(TickUntil([&] { return !Audio_IsPlaying(id); })) << "the drained voice is released";
  EXPECT_EQ(al::BuffersQueued(source), 0) << "the worker took its buffers back";
  EXPECT_EQ(console_.text, "");
}

TEST_F(OggStream, ALongSoundKeepsTwoBuffersQueuedAndLoops) {
  Start();
  const int32_t id = Audio_PlaySound(1, 1, 1);
  ASSERT_GT(id, 0);
  const uint32_t source = Audio_SourceOf(*Audio_FindVoice(id));
  ASSERT_TRUE(TickUntil([&] { return al::GetSourceState(source) == al::SourceState::kPlaying; }, 1.0));
  EXPECT_EQ(al::BuffersQueued(source), 2);
  TickFor(0.5);
  EXPECT_TRUE(Audio_IsPlaying(id));
  EXPECT_EQ(al::GetSourceState(source), al::SourceState::kPlaying);
}

TEST_F(OggStream, AStopAndAPlayPostedTogetherLeaveOnlyThePlay) {
  Start();
  const int32_t first = Audio_PlaySound(1, 1, 1);
  ASSERT_GT(first, 0);
  const int32_t source_index = Audio_FindVoice(first)->source_index;
  ASSERT_TRUE(TickUntil([&] { return StateOf(first) == al::SourceState::kPlaying; }, 1.0));
  Audio_StopSound(first);
  const int32_t second = Audio_PlaySound(0, 1, 1);  // takes the stopping voice
  ASSERT_GT(second, 0);
  ASSERT_EQ(Audio_FindVoice(second)->source_index, source_index);
  TickFor(0.3);
  EXPECT_TRUE(Audio_IsPlaying(second));
  EXPECT_EQ(OggAudio().PlayingAsset(source_index), Audio_GetAsset(0));
  EXPECT_EQ(StateOf(second), al::SourceState::kPlaying);
}

// A voice freed while its stop is still on the way to the worker would hand
// its source to the next sound, which the late stop would then end.
TEST_F(OggStream, AStreamedVoiceIsFreedOnlyAfterItsWorkerStoppedTheStream) {
  Start();
  Audio_SetChannelCount(3);  // two table voices
  const int32_t streamed = Audio_PlaySound(1, 1, 1);
  ASSERT_GT(streamed, 0);
  ASSERT_TRUE(TickUntil([&] { return StateOf(streamed) == al::SourceState::kPlaying; }, 1.0));
  Audio_StopSound(streamed);
  Audio_Tick();
  const int32_t memory = Audio_PlaySound(2, 1, 1);
  ASSERT_GT(memory, 0);
  TickFor(0.2);
  EXPECT_TRUE(Audio_IsPlaying(memory));
  EXPECT_EQ(StateOf(memory), al::SourceState::kPlaying) << "a late stop ended the next sound on the source";
  EXPECT_FALSE(Audio_IsPlaying(streamed));
}

TEST_F(OggStream, PausingBeforeTheSourcePlaysHasNoEffect) {
  Start();
  const int32_t id = Audio_PlaySound(1, 1, 1);
  ASSERT_GT(id, 0);
  Audio_PauseSound(id);  // the worker has not queued anything yet
  ASSERT_TRUE(TickUntil([&] { return StateOf(id) == al::SourceState::kPlaying; }, 1.0));
  EXPECT_FALSE(Audio_IsPaused(id));
  Audio_PauseSound(id);
  EXPECT_TRUE(Audio_IsPaused(id)) << "once it plays the pause takes";
  Audio_ResumeSound(id);
  EXPECT_EQ(StateOf(id), al::SourceState::kPlaying);
}

TEST_F(OggStream, AFileStreamedSoundWithoutItsFileIsRefusedBeforeAnyWorkerStarts) {
  Start();
  EXPECT_EQ(Audio_PlaySound(3, 1, 0), -1);
  EXPECT_NE(console_.text.find("COggAudio::PlaySound- could not find audio file for sound missing.ogg\n"),
            std::string::npos)
      << console_.text;
  EXPECT_EQ(OggAudio().StartedWorkers(), 0);
}

TEST_F(OggStream, AFileStreamedSoundBesideTheGamePlaysFromItsFile) {
  Start();
  LoadSave_SetBundleDirectory(std::string(TW_FIXTURES_DIR) + "/audio");
  const int32_t id = Audio_PlaySound(6, 1, 0);
  LoadSave_SetBundleDirectory("");
  ASSERT_GT(id, 0) << console_.text;
  EXPECT_NE(Audio_GetAsset(6)->resolved_path.find("sine_mono.ogg"), std::string::npos);
  EXPECT_TRUE(TickUntil([&] { return StateOf(id) == al::SourceState::kPlaying; }, 1.0));
  EXPECT_TRUE(TickUntil([&] { return !Audio_IsPlaying(id); })) << "the 0.25 s file drained";
  EXPECT_EQ(console_.text, "");
}

TEST_F(OggStream, StreamsThatCannotPlayFreeTheirVoiceAndTheWorkerSaysWhy) {
  Start();
  struct Case {
    int32_t sound;
    int32_t loop;
    const char* log;
  } cases[] = {{4, 0, "has 3 channels"}, {5, 1, ""}, {5, 0, ""}};
  for (const Case& c : cases) {
    console_.text.clear();
    const int32_t id = Audio_PlaySound(c.sound, 1, c.loop);
    ASSERT_GT(id, 0) << c.sound;
    const int32_t worker = OggAudio().WorkerOf(Audio_FindVoice(id)->source_index);
    EXPECT_TRUE(TickUntil([&] { return !Audio_IsPlaying(id); }, 2.0)) << c.sound << " " << c.loop;
    TickFor(0.05);
    if (*c.log) {
      EXPECT_EQ(console_.text.rfind("(" + std::to_string(worker) + "): ", 0), 0u) << console_.text;
      EXPECT_NE(console_.text.find(c.log), std::string::npos) << console_.text;
    }
  }
}

TEST_F(OggStream, AChannelCountChangeEndsEveryWorkerAndStreamsStartAgain) {
  Start();
  for (int i = 0; i < 4; ++i) ASSERT_GT(Audio_PlaySound(1, 1, 1), 0);
  EXPECT_EQ(OggAudio().StartedWorkers(), 4) << "four voices on four sources use four workers";
  TickFor(0.1);
  Audio_SetChannelCount(16);
  EXPECT_EQ(OggAudio().StartedWorkers(), 0);
  EXPECT_EQ(OggAudio().ChannelCount(), 16);
  const int32_t id = Audio_PlaySound(1, 1, 1);
  ASSERT_GT(id, 0);
  EXPECT_TRUE(TickUntil([&] { return StateOf(id) == al::SourceState::kPlaying; }, 1.0));
  Audio_StopSound(id);
  EXPECT_TRUE(TickUntil([&] { return !Audio_IsPlaying(id); }, 1.0));
}

TEST_F(OggStream, StreamedMusicIsReleasedOnceItsChannelEnds) {
  Start();
  Audio_PlayMusic(0, 0);
  EXPECT_TRUE(Audio_MusicIsPlaying());
  EXPECT_TRUE(TickUntil([] { return !Audio_MusicIsPlaying(); }));
}

}  // namespace
