// Voices, emitters, the music voice and the frame update on OpenAL's silent
// output: ids, priorities and stealing, fades on the frame clock, the gain
// OpenAL is given, emitters, the channel count, and a system without a
// device. What is heard is checked in audio_mix_test.cpp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/ogg_stream.h"
#include "core/game_data.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "pack.h"
#include "platform/al.h"
#include "unit/audio/audio_game.h"
#include "unit/audio/audio_system_test.h"
#include "unit/audio/sine_wav.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

namespace {

// Streaming stood in for: every play starts, a stop is seen by the next
// update, which then releases the voice.
struct FakeStreams {
  static inline std::vector<int32_t> stopped;
  static bool Play(int32_t, AudioAsset&, bool) { return true; }
  static void Stop(int32_t source) { stopped.push_back(source); }
  static void Update(std::vector<std::unique_ptr<AudioVoice>>& voices, AudioVoice& music) {
    for (auto& v : voices)
      if (v->streamed && v->stop_requested) v->Release();
    if (music.streamed && music.stop_requested) music.Release();
  }
};

class AudioVoices : public AudioSystemTest {
 protected:
  void TearDown() override {
    FakeStreams::stopped.clear();
    g_Run.room = nullptr;
    AudioSystemTest::TearDown();
  }

  // Sound 0 a looping sine in memory, 1 an empty slot, 2 a sound with no
  // file (never prepared), 3 a compressed (streamed) sound, 4 a second sine
  // at gain 0.5.
  void Start(bool device = true) {
    const std::string wav = testwav::Hex(testwav::Sine(441, 0.5, 44100, 44100));
    file_ = std::make_unique<GameDataFile>(twpack::BuildFromDescription(
        "SOUND \"s0\"\nSOUND none\nSOUND \"s2\"\nSOUND \"s3\" kind=102\nSOUND \"s4\" volume=0.5\n"
        "AUDIO bytes=" + wav + "\nAUDIO none\nAUDIO none\nAUDIO bytes=00\nAUDIO bytes=" + wav + "\n"));
    ASSERT_TRUE(LoadAudioChunks(*file_));
    setenv("ALSOFT_DRIVERS", "null", 0);
    Options_Mutable().new_audio = true;
    g_NoAudio = !device;
    Sound_InitHardware();
    if (device) {
      ASSERT_TRUE(Audio_IsOn()) << "OpenAL's null output did not open";
    }
    Audio_Prepare();
    console_.text.clear();
  }
  void UseFakeStreams() {
    Audio_Streaming().play = &FakeStreams::Play;
    Audio_Streaming().stop = &FakeStreams::Stop;
    Audio_Streaming().update = &FakeStreams::Update;
  }
  static float SourceGain(int32_t id) {
    const AudioVoice* v = Audio_FindVoice(id);
    return v ? al::GetSourceFloat(Audio_SourceOf(*v), al::SourceFloat::kGain) : -1.0f;
  }

  std::unique_ptr<GameDataFile> file_;
};

TEST_F(AudioVoices, IdsCountUpFromTheFirstVoiceIdAcrossChannelChanges) {
  Start();
  const int32_t a = Audio_PlaySound(0, 1, 1);
  const int32_t b = Audio_PlaySound(0, 1, 1);
  EXPECT_GE(a, kFirstPlayedVoiceId);
  EXPECT_EQ(b, a + 1);
  EXPECT_TRUE(Audio_IsPlaying(a));
  EXPECT_TRUE(Audio_IsPlaying(0)) << "a sound index asks about every voice of it";
  EXPECT_TRUE(Audio_Exists(b));
  Audio_SetChannelCount(16);
  EXPECT_FALSE(Audio_IsPlaying(a)) << "a channel change stops every voice";
  EXPECT_EQ(Audio_PlaySound(0, 1, 1), b + 1);
}

TEST_F(AudioVoices, PlaysThatCannotStartAnswerMinusOne) {
  Start();
  struct Case {
    int32_t sound;
    bool logged;
  } cases[] = {{1, true}, {-1, true}, {99, true}, {2, false}};
  for (const Case& c : cases) {
    console_.text.clear();
    EXPECT_EQ(Audio_PlaySound(c.sound, 1, 0), -1) << c.sound;
    EXPECT_EQ(Audio_PlaySoundAt(c.sound, 0, 0, 0, 100, 1000, 1, 0, 1), -1) << c.sound;
    EXPECT_EQ(console_.text.find("Error: no sound exists for soundid " + std::to_string(c.sound)) !=
                  std::string::npos,
              c.logged)
        << console_.text;
  }
  EXPECT_FALSE(Audio_IsPlaying(2)) << "the voice of a sound that did not start stays free";
  EXPECT_TRUE(Audio_Exists(0));
  EXPECT_FALSE(Audio_Exists(1));
  EXPECT_FALSE(Audio_Exists(kFirstPlayedVoiceId + 1000));
}

TEST_F(AudioVoices, MoreSoundsThanChannelsDropTheLowestPriority) {
  Start();
  Audio_SetChannelCount(4);  // three voices and the music source
  const int32_t high = Audio_PlaySound(0, 5, 1);
  const int32_t low1 = Audio_PlaySound(0, 1, 1);
  const int32_t low2 = Audio_PlaySound(0, 1, 1);
  ASSERT_GT(low2, 0);
  EXPECT_EQ(Audio_PlaySound(0, 1, 1), -1) << "equal priority steals nothing";
  const int32_t mid = Audio_PlaySound(0, 3, 1);
  ASSERT_GT(mid, 0);
  EXPECT_FALSE(Audio_IsPlaying(low1)) << "the first of the equally lowest is stolen";
  EXPECT_TRUE(Audio_IsPlaying(low2));
  EXPECT_TRUE(Audio_IsPlaying(high));
  const int32_t top = Audio_PlaySound(0, 9, 1);
  ASSERT_GT(top, 0);
  EXPECT_FALSE(Audio_IsPlaying(low2));
  EXPECT_TRUE(Audio_IsPlaying(mid));
  EXPECT_TRUE(Audio_IsPlaying(high));
}

TEST_F(AudioVoices, TheDefaultChannelsGiveOneVoiceLessThanTheirCount) {
  Start();
  for (int i = 0; i < kDefaultChannels - 1; ++i) ASSERT_GT(Audio_PlaySound(0, 1, 1), 0) << i;
  EXPECT_EQ(Audio_PlaySound(0, 1, 1), -1);
  EXPECT_GT(Audio_PlaySound(0, 2, 1), 0);
}

TEST_F(AudioVoices, ChannelCountIsClampedAndAStoppedVoiceIsReused) {
  Start();
  struct Case {
    int32_t asked, got;
  } cases[] = {{1, 2}, {-7, 2}, {40, 40}, {1000000, kMaxChannels}};
  for (const Case& c : cases) {
    Audio_SetChannelCount(c.asked);
    EXPECT_EQ(Audio_ChannelCount(), c.got) << c.asked;
  }
  Audio_SetChannelCount(2);
  const int32_t a = Audio_PlaySound(0, 1, 1);
  ASSERT_GT(a, 0);
  Audio_StopSound(a);
  EXPECT_FALSE(Audio_IsPlaying(a));
  EXPECT_GT(Audio_PlaySound(0, 1, 1), 0) << "a stopped voice is free again";
}

TEST_F(AudioVoices, InMemorySoundsNeverStealAStreamedVoice) {
  Start();
  UseFakeStreams();
  Audio_SetChannelCount(2);
  const int32_t streamed = Audio_PlaySound(3, 0, 1);
  ASSERT_GT(streamed, 0);
  EXPECT_EQ(Audio_PlaySound(0, 10, 1), -1);
  const int32_t other = Audio_PlaySound(3, 10, 1);
  EXPECT_GT(other, 0) << "a streamed sound may steal a streamed voice";
  // A stop reaches the worker at once but frees the voice at the update.
  Audio_StopSound(other);
  EXPECT_EQ(FakeStreams::stopped.size(), 2u);
  EXPECT_TRUE(Audio_IsPlaying(other));
  Audio_Tick();
  EXPECT_FALSE(Audio_IsPlaying(other));
  EXPECT_GT(Audio_PlaySound(0, 1, 1), 0);
}

TEST_F(AudioVoices, AStreamedVoiceStillStoppingLeavesItsEmitter) {
  Start();
  UseFakeStreams();
  Audio_SetChannelCount(2);
  const int32_t e = Audio_CreateEmitter();
  const int32_t first = Audio_PlaySoundOn(e, 3, 1, 0);
  ASSERT_GT(first, 0);
  // Stolen while its stream stops: the new sound is not the emitter's.
  const int32_t stolen = Audio_PlaySound(3, 5, 1);
  ASSERT_GT(stolen, 0);
  EXPECT_EQ(Audio_FindVoice(stolen)->emitter, nullptr);
  // Freed while its stream stops: the voice is not the emitter's either.
  const int32_t f = Audio_CreateEmitter();
  Audio_StopSound(stolen);
  Audio_Tick();
  const int32_t on_f = Audio_PlaySoundOn(f, 3, 1, 0);
  ASSERT_GT(on_f, 0);
  Audio_FreeEmitter(f);
  EXPECT_EQ(Audio_FindVoice(on_f)->emitter, nullptr);
  EXPECT_EQ(Audio_CreateEmitter(), f);
  Audio_Tick();
  EXPECT_FALSE(Audio_IsPlaying(on_f));
}

TEST_F(AudioVoices, StreamedSoundsDoNotStartWithoutTheWorkers) {
  Start();
  Audio_Streaming() = {};
  EXPECT_EQ(Audio_PlaySound(3, 1, 0), -1);
}

TEST_F(AudioVoices, FadeLengthFollowsTheRoomSpeed) {
  CGameRoom room;
  struct Case {
    int32_t speed, ms, frames;
  } cases[] = {{30, 1000, 30}, {2000, 1000, 1000}, {30, 10, 1}, {60, 500, 31}, {0, 100, 1}, {30, 1, 1}};
  for (const Case& c : cases) {
    room.speed = c.speed;
    g_Run.room = &room;
    EXPECT_EQ(Audio_FadeFrames(c.ms), c.frames) << c.speed << " " << c.ms;
  }
  g_Run.room = nullptr;
  EXPECT_EQ(Audio_FadeFrames(1000), 30) << "no room counts as speed 30";
}

TEST_F(AudioVoices, FadesReachTheirGainInTheirFramesAndOpenALGetsTheProduct) {
  Start();
  const int32_t id = Audio_PlaySound(4, 1, 1);  // sound gain 0.5
  ASSERT_GT(id, 0);
  Audio_SetGain(id, 0.0f, 1000);  // 30 frames at speed 30
  for (int i = 0; i < 15; ++i) Audio_Tick();
  EXPECT_NEAR(Audio_FindVoice(id)->gain, 0.5f, 1e-4);
  EXPECT_NEAR(SourceGain(id), 0.25f, 1e-4);
  for (int i = 0; i < 15; ++i) Audio_Tick();
  EXPECT_NEAR(SourceGain(id), 0.0f, 1e-5);
  Audio_Tick();
  EXPECT_NEAR(Audio_FindVoice(id)->gain, 0.0f, 1e-5) << "the fade ends at its gain";

  // A fade of the sound itself reaches every voice of it; gains clamp to 1.
  Audio_SetGain(id, 1.0f, 0);
  Audio_SetGain(4, 3.0f, 100);  // 3 frames
  for (int i = 0; i < 3; ++i) Audio_Tick();
  EXPECT_FLOAT_EQ(Audio_GetAssetGain(4), 1.0f);
  EXPECT_NEAR(SourceGain(id), 1.0f, 1e-5);
}

TEST_F(AudioVoices, EmittersCarryGainPitchPositionAndComeBackWithTheirState) {
  Start();
  const int32_t e = Audio_CreateEmitter();
  ASSERT_GE(e, 0);
  Audio_SetEmitterPosition(e, 300, 0, 0);
  Audio_SetEmitterGain(e, 0.5f);
  Audio_SetEmitterGain(e, -1.0f);  // ignored
  Audio_SetEmitterPitch(e, 2.0f);
  const int32_t id = Audio_PlaySoundOn(e, 4, 1, 1);
  ASSERT_GT(id, 0);
  const uint32_t source = Audio_SourceOf(*Audio_FindVoice(id));
  EXPECT_NEAR(al::GetSourceFloat(source, al::SourceFloat::kPitch), 2.0f, 1e-5);
  Audio_Tick();
  EXPECT_NEAR(SourceGain(id), 0.25f, 1e-5) << "emitter gain times sound gain";
  Audio_SetEmitterFalloff(e, 50, 500, 2);
  EXPECT_NEAR(al::GetSourceFloat(source, al::SourceFloat::kReferenceDistance), 50.0f, 1e-5);
  EXPECT_NEAR(al::GetSourceFloat(source, al::SourceFloat::kRolloffFactor), 2.0f, 1e-5);

  Audio_FreeEmitter(e);
  EXPECT_FALSE(Audio_IsPlaying(id)) << "freeing an emitter stops its voices";
  EXPECT_FALSE(Audio_EmitterExists(e));
  EXPECT_EQ(Audio_PlaySoundOn(e, 0, 1, 1), -1);
  EXPECT_NE(console_.text.find("Audio_PlaySound Attempting to play sound on inactive emitter"), std::string::npos);
  EXPECT_EQ(Audio_PlaySoundOn(99, 0, 1, 1), -1);

  EXPECT_EQ(Audio_CreateEmitter(), e) << "the freed slot comes back";
  const int32_t again = Audio_PlaySoundOn(e, 0, 1, 1);
  ASSERT_GT(again, 0);
  Audio_Tick();
  EXPECT_NEAR(SourceGain(again), 0.5f, 1e-5) << "the old gain is kept";

  // Nine emitters grow the table past its first eight slots.
  for (int i = 0; i < 9; ++i) EXPECT_GT(Audio_CreateEmitter(), e);
}

TEST_F(AudioVoices, MusicPlaysOnItsOwnVoiceAndWaitsForStreamedMusicToStop) {
  Start();
  UseFakeStreams();
  Audio_SetChannelCount(2);
  Audio_PlayMusic(0, 1);
  EXPECT_TRUE(Audio_MusicIsPlaying());
  EXPECT_TRUE(Audio_IsPlaying(0)) << "the music voice counts for its sound index";
  EXPECT_GT(Audio_PlaySound(0, 0, 1), 0) << "the one table voice stays free for sounds";
  Audio_StopAll();
  EXPECT_TRUE(Audio_MusicIsPlaying()) << "stopping every sound leaves the music";

  Audio_PlayMusic(3, 1);  // streamed music
  EXPECT_TRUE(Audio_MusicIsPlaying());
  Audio_PlayMusic(0, 1);  // must wait for the stream to stop
  EXPECT_EQ(Audio_MusicVoice()->sound_index, 3);
  Audio_Tick();
  EXPECT_EQ(Audio_MusicVoice()->sound_index, 0);
  EXPECT_TRUE(Audio_MusicIsPlaying());
  Audio_StopMusic();
  EXPECT_FALSE(Audio_MusicIsPlaying());
}

TEST_F(AudioVoices, PauseAndResumeByVoiceAndBySound) {
  Start();
  const int32_t a = Audio_PlaySound(0, 1, 1);
  const int32_t b = Audio_PlaySound(0, 1, 1);
  Audio_PauseSound(a);
  EXPECT_TRUE(Audio_IsPaused(a));
  EXPECT_FALSE(Audio_IsPaused(b));
  EXPECT_TRUE(Audio_IsPlaying(a)) << "a paused voice still counts as playing";
  Audio_PauseAll();
  EXPECT_TRUE(Audio_IsPaused(b));
  Audio_ResumeSound(0);
  EXPECT_FALSE(Audio_IsPaused(0));
}

TEST_F(AudioVoices, WithoutADeviceEverythingAnswersAsMissingAndSaysNothing) {
  Start(false);
  ASSERT_FALSE(Audio_IsOn());
  EXPECT_EQ(Audio_PlaySound(0, 1, 1), -1);
  EXPECT_EQ(Audio_PlaySound(1, 1, 1), -1);
  EXPECT_EQ(Audio_PlaySoundAt(0, 0, 0, 0, 1, 2, 1, 0, 1), -1);
  EXPECT_EQ(Audio_CreateEmitter(), -1);
  EXPECT_EQ(Audio_PlaySoundOn(0, 0, 1, 1), -1);
  Audio_PlayMusic(0, 1);
  EXPECT_FALSE(Audio_MusicIsPlaying());
  EXPECT_FALSE(Audio_IsPlaying(0));
  EXPECT_FALSE(Audio_Exists(0));
  EXPECT_EQ(Audio_IsNewSystem(), 0);
  Audio_SetChannelCount(8);
  Audio_SetGain(0, 0.5f, 100);
  Audio_SetFalloffModel(42);
  Audio_SetListenerPosition(1, 2, 3);
  for (int i = 0; i < 100; ++i) Audio_Tick();
  EXPECT_EQ(console_.text, "");
}

TEST_F(AudioVoices, AnUnknownFalloffModelIsLogged) {
  Start();
  for (int model = 0; model <= 6; ++model) Audio_SetFalloffModel(model);
  EXPECT_EQ(console_.text, "");
  Audio_SetFalloffModel(7);
  EXPECT_EQ(console_.text, "Attempting to set audio falloff to unknown model\n");
  Audio_SetFalloffModel(1);
}

}  // namespace
