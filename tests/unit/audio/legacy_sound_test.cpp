// The legacy sound table and its sample player on OpenAL's null output:
// adding, replacing and deleting sounds, slots and their sources given back,
// the four sources taken in turn, fades counted in frames, and MP3 music
// handed to the MCI under its MediaFile aliases.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/legacy_sound.h"
#include "audio/mci.h"
#include "core/options.h"
#include "files/files.h"
#include "platform/al.h"
#include "script/errors.h"
#include "unit/audio/sine_wav.h"
#include "unit/world_reset.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A mono RIFF WAVE image of a short square wave.
Bytes Wav(int frames) {
  std::vector<int16_t> samples(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) samples[size_t(i)] = i % 50 < 25 ? 8000 : -8000;
  return testwav::Pcm16(1, 22050, samples);
}

class LegacySound : public WorldTest {
 protected:
  LegacySound() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}
  void SetUp() override {
    WorldTest::SetUp();
    dir_ = fs::temp_directory_path() / ("tw-legacy-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    Write("boom.wav", Wav(22050));
    Write("short.wav", Wav(200));
    Bytes cut = Wav(10);
    cut.resize(6);
    Write("bad.wav", cut);
    fs::copy_file(fs::path(TW_FIXTURES_DIR) / "audio" / "sine_mono.mp3", dir_ / "tune.mp3");
    fs::copy_file(fs::path(TW_FIXTURES_DIR) / "audio" / "sine_mono.mp3", dir_ / "other.mp3");
    LoadSave_SetBundleDirectory(dir_.string());
    setenv("ALSOFT_DRIVERS", "null", 0);
    Options_Mutable().new_audio = false;
  }
  void TearDown() override {
    SoundHardware_Quit();
    Sound_FreeAll();
    g_NoAudio = false;
    LoadSave_SetBundleDirectory("");
    fs::remove_all(dir_);
    WorldTest::TearDown();
  }
  void Write(const char* name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  void Start() {
    Sound_InitHardware();
    ASSERT_TRUE(SoundHardware_On()) << "OpenAL's null output did not open";
  }
  fs::path dir_;
};

TEST_F(LegacySound, AddReplaceAndDeleteKeepTheTableWhole) {
  const int32_t before = Sound_Count();
  EXPECT_EQ(Sound_Add("missing.wav", 0, false), -1);
  EXPECT_EQ(Sound_Count(), before) << "a failed add leaves no entry";
  const int32_t boom = Sound_Add("boom.wav", 0, false);
  EXPECT_EQ(boom, before);
  EXPECT_EQ(Sound_GetName(boom), "boom.wav");
  EXPECT_EQ(Sound_Find("boom.wav"), boom);
  EXPECT_EQ(Sound_Get(boom)->extension, ".wav");
  EXPECT_EQ(Sound_Get(boom)->file_name, "boom.wav");
  EXPECT_EQ(Sound_Add("../boom.wav", 0, false), -1) << "the sandbox refuses it";

  EXPECT_TRUE(Sound_Replace(boom, "short.wav", 2, false));
  EXPECT_EQ(Sound_GetName(boom), "boom.wav") << "a replaced sound keeps its name";
  EXPECT_EQ(Sound_Get(boom)->file_name, "short.wav");
  EXPECT_EQ(Sound_Get(boom)->kind, 2);
  EXPECT_FALSE(Sound_Replace(boom + 7, "short.wav", 0, false));

  EXPECT_TRUE(Sound_Delete(boom));
  EXPECT_FALSE(Sound_Exists(boom));
  EXPECT_EQ(Sound_GetName(boom), "<undefined>");
  EXPECT_FALSE(Sound_Delete(boom));
  EXPECT_EQ(Sound_Add("boom.wav", 0, false), boom + 1) << "the hole stays";
  EXPECT_EQ(Sound_GetName(-1), "<undefined>");
}

TEST_F(LegacySound, DiscardedAndDeletedSoundsGiveTheirSourcesBack) {
  Start();
  const int32_t boom = Sound_Add("boom.wav", 0, true);
  CSound* s = Sound_Get(boom);
  ASSERT_GE(s->slot, 0);
  const SoundSlot* slot = Sound_GetSlot(s->slot);
  ASSERT_TRUE(slot->sample);
  const uint32_t buffer = slot->sample->buffer;
  EXPECT_TRUE(al::IsBuffer(buffer));
  Sound_Play(s->file_name, s->slot, true);
  EXPECT_TRUE(Sound_IsPlaying(s->file_name, s->slot));

  s->FreeSlot();  // sound_discard
  EXPECT_EQ(s->slot, -1);
  EXPECT_EQ(Sound_SlotsInUse(), 0);
  EXPECT_FALSE(al::IsBuffer(buffer)) << "the buffer went with the slot";

  for (int i = 0; i < 5; ++i) {  // restore and discard again: the slot is reused
    s->Prepare();
    s->FreeSlot();
  }
  EXPECT_EQ(Sound_SlotCount(), 1);

  ASSERT_GE(Sound_Get(boom)->GetSlot(), 0);
  const uint32_t again = Sound_GetSlot(Sound_Get(boom)->slot)->sample->buffer;
  EXPECT_TRUE(Sound_Delete(boom));
  EXPECT_EQ(Sound_SlotsInUse(), 0);
  EXPECT_FALSE(al::IsBuffer(again));
}

TEST_F(LegacySound, FourSourcesPlayInTurnAndAFadeTakesAtLeastOneFrame) {
  Start();
  CSound* s = Sound_Get(Sound_Add("boom.wav", 0, true));
  SoundHardwareSample& sample = *Sound_GetSlot(s->slot)->sample;
  for (int i = 0; i < 5; ++i) Sound_Play("boom.wav", s->slot, false);
  EXPECT_EQ(sample.next, 1) << "the fifth play took the first source again";
  for (uint32_t source : sample.sources) EXPECT_EQ(al::GetSourceState(source), al::SourceState::kPlaying);

  Sound_SetVolume(s->slot, 0.25, 0);
  EXPECT_EQ(sample.fade_frames, 1);
  SoundHardware_Tick();
  EXPECT_FLOAT_EQ(sample.volume, 0.25f);
  EXPECT_EQ(sample.fade_frames, 0);

  Sound_SetVolume(s->slot, 1.0, 100);  // 100 ms at 30 frames a second: 3 frames
  EXPECT_EQ(sample.fade_frames, 3);
  for (int i = 0; i < 3; ++i) SoundHardware_Tick();
  EXPECT_FLOAT_EQ(sample.volume, 1.0f);

  Sound_StopAll();
  EXPECT_FALSE(Sound_IsPlaying("boom.wav", s->slot));
}

TEST_F(LegacySound, UnreadableSoundsAndKindsWithoutSamplePlayNothing) {
  Start();
  CSound* bad = Sound_Get(Sound_Add("bad.wav", 0, true));
  ASSERT_GE(bad->slot, 0);
  EXPECT_FALSE(Sound_GetSlot(bad->slot)->sample);
  Sound_Play("bad.wav", bad->slot, false);
  EXPECT_FALSE(Sound_IsPlaying("bad.wav", bad->slot));
  // An upper-case .MP3 is not music: it is played as a sample (this one
  // cannot be read as one).
  Sound_Play("LOUD.MP3", bad->slot, false);
  EXPECT_EQ(SoundHardware_MusicAlias(), 0);
  CSound* three = Sound_Get(Sound_Add("boom.wav", 3, true));
  EXPECT_EQ(Sound_GetSlot(three->slot)->kind, 1);
  EXPECT_FALSE(Sound_GetSlot(three->slot)->sample);
  Sound_Play("x.wav", 12345, false);  // a slot out of range does nothing
}

TEST_F(LegacySound, Mp3MusicGoesThroughTheMediaFileAliases) {
  Start();
  Sound_Play("tune.mp3", -1, false);
  EXPECT_EQ(SoundHardware_MusicAlias(), 1);
  EXPECT_TRUE(Sound_IsPlaying("tune.mp3", -1));
  std::string mode;
  Mci_SendString("status MediaFile1 mode", &mode);
  EXPECT_EQ(mode, "playing");

  // A second play while the first still plays closes MediaFile1 and opens it again.
  Sound_Play("other.mid", -1, true);  // the MP3 twin of a MIDI sound
  EXPECT_EQ(SoundHardware_MusicAlias(), 1);
  EXPECT_EQ(Mci_OpenCount(), 1u);
  Sound_Stop("other.mid", -1);
  EXPECT_EQ(SoundHardware_MusicAlias(), 0);
  EXPECT_EQ(Mci_OpenCount(), 0u);

  // Music that ends by itself is closed by the tick; the next opens MediaFile2.
  Sound_Play("tune.mp3", -1, false);
  ASSERT_EQ(Mci_SendString("play MediaFile1 from 1000", nullptr), kMciOk);
  for (int i = 0; i < 500 && Mci_OpenCount() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    SoundHardware_Tick();
  }
  EXPECT_EQ(Mci_OpenCount(), 0u) << "the finished alias was closed";
  EXPECT_FALSE(Sound_IsPlaying("tune.mp3", -1));
  Sound_Play("tune.mp3", -1, false);
  EXPECT_EQ(SoundHardware_MusicAlias(), 2);
  EXPECT_EQ(Mci_OpenCount(), 1u);
}

TEST_F(LegacySound, WithNoAudioNothingIsMadeOrPlayed) {
  g_NoAudio = true;
  Sound_InitHardware();
  EXPECT_FALSE(SoundHardware_On());
  CSound* s = Sound_Get(Sound_Add("boom.wav", 0, true));
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(Sound_GetSlot(s->slot)->sample);
  Sound_Play("boom.wav", s->slot, true);
  Sound_Play("tune.mp3", -1, true);
  Sound_SetVolume(s->slot, 0.5, 10);
  SoundHardware_Tick();
  EXPECT_FALSE(Sound_IsPlaying("boom.wav", s->slot));
  EXPECT_EQ(Mci_OpenCount(), 0u);
}

TEST_F(LegacySound, AMissingSoundIsReportedOnceByTheActionsNotEveryStep) {
  const int32_t boom = Sound_Add("boom.wav", 0, false);
  int reports = 0;
  for (int step = 0; step < 30; ++step) {
    Error_ClearOccurred();
    EXPECT_FALSE(Sound_ActionPlay(77, false));
    if (Error_Occurred()) ++reports;
  }
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(Error_LastText().find("Trying to play non-existing sound.") != std::string::npos, true) << Error_LastText();
  Error_ClearOccurred();
  EXPECT_FALSE(Sound_ActionStop(77));
  EXPECT_TRUE(Error_Occurred()) << "stopping is reported apart from playing";
  Error_ClearOccurred();
  EXPECT_FALSE(Sound_ActionPlay(78, false));
  EXPECT_TRUE(Error_Occurred()) << "each missing index is reported";
  Error_ClearOccurred();
  EXPECT_TRUE(Sound_ActionPlay(boom, false));
  EXPECT_TRUE(Sound_ActionStop(boom));
  EXPECT_FALSE(Error_Occurred());
}

}  // namespace
