// The sound chunks and the audio assets made from them: the records and
// entries as read, every damaged layout refused with a clear error, the
// storage kinds, binding, look-up, preparation into OpenAL buffers (on
// OpenAL's null output) and the length query.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/ogg_decode.h"
#include "audio/sound_chunks.h"
#include "core/game_data.h"
#include "core/options.h"
#include "pack.h"
#include "platform/al.h"
#include "unit/audio/audio_game.h"
#include "unit/audio/sine_wav.h"
#include "unit/container_bytes.h"
#include "unit/world_reset.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testbytes::Body;
using testbytes::Put32;
using testbytes::Rd32;

// A RIFF WAVE image of 16-bit samples (a rising ramp, content unimportant).
Bytes Wav(int channels, int rate, int frames) {
  std::vector<int16_t> ramp(static_cast<size_t>(frames * channels));
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t(uint16_t(i * 7));
  return testwav::Pcm16(channels, rate, ramp);
}

Bytes Fixture(const char* name) {
  std::ifstream in(std::string(TW_FIXTURES_DIR) + "/audio/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using testwav::Hex;

class AudioAssets : public WorldTest {
 protected:
  AudioAssets() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}
  void TearDown() override {
    SoundHardware_Quit();
    Sound_Clear();
    g_NoAudio = false;
    Options_Mutable().new_audio = false;
    WorldTest::TearDown();
  }

  // Loads SOND then AUDO of the container described, as the chunk walk
  // does for a game of the OpenAL audio system.
  void Load(const std::string& description) {
    file_ = std::make_unique<GameDataFile>(twpack::BuildFromDescription(description));
    LoadFile();
  }
  void LoadFile() { ASSERT_TRUE(LoadAudioChunks(*file_)); }
  // Opens OpenAL's silent output and prepares the assets.
  void StartAndPrepare() {
    setenv("ALSOFT_DRIVERS", "null", 0);
    Options_Mutable().new_audio = true;
    Sound_InitHardware();
    ASSERT_TRUE(Audio_IsOn()) << "OpenAL's null output did not open";
    Audio_Prepare();
  }

  std::unique_ptr<GameDataFile> file_;
};

TEST_F(AudioAssets, RecordsAreReadFieldByField) {
  file_ = std::make_unique<GameDataFile>(twpack::BuildFromDescription(
      "SOUND \"snd_goal\" kind=3 file=\"goal.mp3\" volume=0.25 pan=-0.5 effects=9 preload=0 audio=7\n"
      "SOUND none\n"
      "SOUND \"snd_b\"\n"));
  const std::vector<ChunkRef> chunks = file_->Chunks();
  const auto records = SoundChunk_Read(ChunkBody(*file_, chunks[0]));
  ASSERT_EQ(records.size(), 3u);
  ASSERT_TRUE(records[0]);
  const SoundRecord& r = *records[0];
  EXPECT_EQ(r.name, "snd_goal");
  EXPECT_EQ(r.kind, 3);
  EXPECT_EQ(r.extension, ".mp3");
  EXPECT_EQ(r.file, "goal.mp3");
  EXPECT_EQ(r.effects, 9u);
  EXPECT_FLOAT_EQ(r.volume, 0.25f);
  EXPECT_FLOAT_EQ(r.pan, -0.5f);
  EXPECT_EQ(r.preload, 0u);
  EXPECT_EQ(r.audio_index, 7u);
  EXPECT_FALSE(records[1]);
  ASSERT_TRUE(records[2]);
  EXPECT_EQ(records[2]->file, "snd_b.wav");
  EXPECT_EQ(records[2]->audio_index, 2u) << "a sound's entry defaults to its own slot";
}

TEST_F(AudioAssets, StorageKindsSetTheFlagsAndGainComesFromTheVolume) {
  struct Case {
    int32_t kind;
    bool file, compressed, decompress;
    int32_t type;
  } cases[] = {
      {0, false, false, false, 0},   {1, true, true, false, 1},      {2, true, true, false, 1},
      {3, true, true, false, 1},     {100, true, true, false, 1},    {101, false, false, false, 0},
      {102, false, true, false, 0},  {103, false, false, true, 0},   {104, false, false, false, 0},
      {-5, true, true, false, 1},
  };
  std::string d;
  for (const Case& c : cases) d += "SOUND \"s" + std::to_string(c.kind) + "\" volume=0.5 kind=" + std::to_string(c.kind) + "\n";
  Load(d);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    const AudioAsset* a = Audio_GetAsset(int32_t(i));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->streamed_from_file, c.file);
    EXPECT_EQ(a->compressed, c.compressed);
    EXPECT_EQ(a->decompress_at_load, c.decompress);
    EXPECT_EQ(Audio_GetType(int32_t(i)), c.type);
    EXPECT_FLOAT_EQ(Audio_GetAssetGain(int32_t(i)), 0.5f);
    EXPECT_FLOAT_EQ(Audio_GetAssetPitch(int32_t(i)), 1.0f);
    EXPECT_FLOAT_EQ(a->length, -1.0f);
    EXPECT_EQ(a->buffer, 0u);
  }
}

TEST_F(AudioAssets, EntriesBindByTheirIndexAndBadIndicesBindNothing) {
  Load("SOUND \"a\" audio=1\n"
       "SOUND \"b\" audio=0\n"
       "SOUND \"c\" audio=2\n"    // an empty slot of the list
       "SOUND \"d\" audio=3\n"    // past the list
       "SOUND none\n"
       "AUDIO bytes=0a0b0c\n"
       "AUDIO bytes=11\n"
       "AUDIO none\n");
  ASSERT_NE(Audio_GetAsset(0), nullptr);
  EXPECT_EQ(Bytes(Audio_GetAsset(0)->entry.begin(), Audio_GetAsset(0)->entry.end()), Bytes{0x11});
  EXPECT_EQ(Bytes(Audio_GetAsset(1)->entry.begin(), Audio_GetAsset(1)->entry.end()), (Bytes{0x0a, 0x0b, 0x0c}));
  EXPECT_FALSE(Audio_GetAsset(2)->bound);
  EXPECT_FALSE(Audio_GetAsset(3)->bound);
  // An empty slot answers like a bad index.
  for (int32_t index : {4, 5, -1}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Audio_GetAsset(index), nullptr);
    EXPECT_EQ(Audio_GetType(index), -1);
    EXPECT_FLOAT_EQ(Audio_GetAssetGain(index), 1.0f);
    EXPECT_FLOAT_EQ(Audio_GetAssetPitch(index), 1.0f);
  }
}

TEST_F(AudioAssets, AssetsAreFoundByTheirFileNameWithoutExtension) {
  Load("SOUND \"snd_goal\" file=\"goal.wav\"\nSOUND none\nSOUND \"x\" file=\"goal.music.ogg\"\n");
  struct Case {
    const char* name;
    int32_t index;
  } cases[] = {{"goal", 0}, {"goa", -1}, {"goal.wav", -1}, {"goal.music", 2}, {"snd_goal", -1}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(Audio_FindAsset(c.name), c.index) << c.name;
}

// Each damaged layout is refused with an error naming what is wrong; nothing
// outside the container is read (the sanitizer build checks that).
TEST_F(AudioAssets, DamagedChunksAreRefusedCleanly) {
  const Bytes good = twpack::BuildFromDescription(
      "SOUND \"a\"\nSOUND \"b\"\nAUDIO bytes=01020304\nAUDIO bytes=0506\n");
  const size_t sond = Body(good, "SOND");
  const size_t audo = Body(good, "AUDO");
  const uint32_t rec0 = Rd32(good, sond + 4);
  const uint32_t entry1 = Rd32(good, audo + 8);
  const uint32_t sondLen = Rd32(good, sond - 4);
  struct Case {
    const char* what;
    const char* tag;
    size_t at;
    uint32_t value;
    const char* message;
  } cases[] = {
      {"sound count past the body", "SOND", sond, 1000, "chunk SOND lists 1000 entries"},
      {"sound count that overflows", "SOND", sond, 0xFFFFFFFF, "chunk SOND lists 4294967295 entries"},
      {"record past the container", "SOND", sond + 4, 0x7FFFFFF0, "chunk SOND entry 0 points to"},
      {"record in another chunk", "SOND", sond + 4, uint32_t(audo), "SOND sound 0: its record at"},
      {"record across the chunk's end", "SOND", sond + 8, uint32_t(sond + sondLen - 20), "SOND sound 1: its record at"},
      {"record before the chunk", "SOND", sond + 4, 8, "SOND sound 0: its record at"},
      {"file name past the container", "SOND", rec0 + 12, 0x7FFFFFF0, "SOND sound 0: string reference"},
      {"entry count past the body", "AUDO", audo, 1000, "chunk AUDO lists 1000 entries"},
      {"entry length past the chunk", "AUDO", entry1, 3, "AUDO entry 1: its 3 bytes run past the end of the chunk"},
      {"entry length that overflows", "AUDO", entry1, 0xFFFFFFFE, "AUDO entry 1: its 4294967294 bytes run past"},
      {"entry in another chunk", "AUDO", audo + 4, rec0, "AUDO entry 0: its length word at"},
      {"entry at the chunk's last bytes", "AUDO", audo + 8, uint32_t(good.size() - 2), "AUDO entry 1: its length word"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = good;
    Put32(bad, c.at, c.value);
    GameDataFile file(bad);
    for (const ChunkRef& chunk : file.Chunks()) {
      if (std::memcmp(chunk.tag, c.tag, 4) != 0) continue;
      for (auto load : {Audio_Load, Sound_Init, Audio_WAVs, Wave_Init}) {
        const bool sondLoader = load == Audio_Load || load == Sound_Init;
        if (sondLoader != (c.tag[0] == 'S')) continue;
        try {
          ChunkBody body(file, chunk);
          body.OffsetList();
          load(body);
          ADD_FAILURE() << "accepted";
        } catch (const DataError& e) {
          EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
      }
    }
    Sound_Clear();
  }
}

TEST_F(AudioAssets, AnEntryOfNoBytesAndTheLastBytesOfTheChunkAreRead) {
  Load("SOUND \"a\" audio=0\nSOUND \"b\" audio=1\nAUDIO bytes=\"\" length=0\nAUDIO bytes=ff\n");
  EXPECT_TRUE(Audio_GetAsset(0)->bound);
  EXPECT_TRUE(Audio_GetAsset(0)->entry.empty());
  EXPECT_EQ(Audio_GetAsset(1)->entry.size(), 1u);
}

TEST_F(AudioAssets, PreparingMakesBuffersForSoundsInMemoryOnly) {
  Load("SOUND \"wav\" kind=101\n"
       "SOUND \"ogg\" kind=103 file=\"ogg.ogg\"\n"
       "SOUND \"stream\" kind=102 file=\"stream.ogg\"\n"
       "SOUND \"file\" kind=100 file=\"file.ogg\"\n"
       "SOUND \"junk\" kind=101\n"
       "SOUND \"unbound\" audio=9\n"
       "AUDIO bytes=" + Hex(Wav(2, 44100, 44100)) + "\n"
       "AUDIO bytes=" + Hex(Fixture("sine_mono.ogg")) + "\n"
       "AUDIO bytes=" + Hex(Fixture("sine_mono.ogg")) + "\n"
       "AUDIO bytes=" + Hex(Fixture("sine_mono.ogg")) + "\n"
       "AUDIO bytes=52494646000000\n");
  StartAndPrepare();
  const AudioAsset* wav = Audio_GetAsset(0);
  const AudioAsset* ogg = Audio_GetAsset(1);
  const AudioAsset* stream = Audio_GetAsset(2);
  const AudioAsset* file = Audio_GetAsset(3);
  EXPECT_NE(wav->buffer, 0u);
  EXPECT_NE(ogg->buffer, 0u) << "decoded at load";
  EXPECT_FALSE(ogg->Streamed());
  EXPECT_EQ(ogg->compressed_data.size(), ogg->entry.size());
  EXPECT_EQ(stream->buffer, 0u) << "streamed sounds own no buffer";
  EXPECT_EQ(stream->compressed_data.data(), stream->entry.data());
  EXPECT_EQ(file->buffer, 0u);
  EXPECT_TRUE(file->compressed_data.empty()) << "a sound beside the game keeps nothing";
  EXPECT_EQ(Audio_GetAsset(4)->buffer, 0u) << "an unreadable WAV plays nothing";
  EXPECT_EQ(Audio_GetAsset(5)->buffer, 0u);

  // 44100 stereo 16-bit frames at 44100 Hz: exactly one second.
  EXPECT_EQ(Audio_GetSoundLength(0), 1.0f);
  EXPECT_NEAR(Audio_GetSoundLength(1), 0.25f, 0.001f);
  EXPECT_EQ(Audio_GetSoundLength(2), 0.0f);
  EXPECT_EQ(Audio_GetSoundLength(3), 0.0f);
  EXPECT_EQ(Audio_GetSoundLength(4), -1.0f) << "no buffer";
  EXPECT_EQ(Audio_GetSoundLength(6), -1.0f) << "past the table";
  EXPECT_EQ(Audio_GetSoundLength(200001), -1.0f) << "no such voice";
  EXPECT_FLOAT_EQ(Audio_GetAsset(0)->length, 1.0f) << "cached";
  EXPECT_FLOAT_EQ(Audio_GetAsset(4)->length, -1.0f) << "a failure is not cached";
}

// Only whole WAV files reach the file reader, which trusts the sizes it
// finds: a cut or lying file is refused first.
TEST(WavImage, OnlyWholeFilesAreAccepted) {
  const Bytes good = Wav(1, 8000, 8);
  auto with = [&](size_t at, uint32_t v) {
    Bytes b = good;
    Put32(b, at, v);
    return b;
  };
  Bytes cut = good;
  cut.resize(40);  // inside the data chunk's header
  Bytes dataFirst = good;
  std::memcpy(&dataFirst[12], "data", 4);
  Bytes odd = good;
  Put32(odd, 16, 17);
  struct Case {
    const char* what;
    Bytes image;
    bool whole;
    const char* why;
  } cases[] = {
      {"whole", good, true, ""},
      {"a RIFF size that lies", with(4, 0xFFFFFFFF), true, ""},
      {"data longer than the file", with(40, 1000), false, "its \"data\" chunk runs past the end of the file"},
      {"format longer than the file", with(16, 0xFFFFFFF0), false, "its \"fmt \" chunk runs past"},
      {"short format", with(16, 8), false, "its format chunk is too short"},
      {"cut in a chunk header", cut, false, "it has no data chunk"},
      {"data before the format", dataFirst, false, "it has no format chunk before its data"},
      {"odd chunk before the data", odd, false, "its \"fmt \" chunk has an odd size"},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false, "not a RIFF WAVE file"},
      {"too short", Bytes{'R', 'I', 'F', 'F'}, false, "not a RIFF WAVE file"},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(WavImage_IsWhole(c.image, why), c.whole) << c.what;
    EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.what << ": " << why;
  }
}

TEST_F(AudioAssets, TheCachedLengthAsksOpenAlNoMore) {
  Load("SOUND \"wav\"\nAUDIO bytes=" + Hex(Wav(1, 8000, 4000)) + "\n");
  StartAndPrepare();
  AudioAsset* a = Audio_GetAsset(0);
  EXPECT_FLOAT_EQ(Audio_GetSoundLength(0), 0.5f);
  // With the buffer gone, OpenAL would answer with an error; the cache
  // answers first.
  al::DeleteBuffer(a->buffer);
  EXPECT_FLOAT_EQ(Audio_GetSoundLength(0), 0.5f);
  a->buffer = 0;
}

TEST_F(AudioAssets, WithoutTheAudioSystemNothingIsPrepared) {
  const std::string game = "SOUND \"wav\"\nAUDIO bytes=" + Hex(Wav(1, 8000, 80)) + "\n";
  // (OpenAL reads its choice of output once per process, so a missing
  // device is shown end to end.)
  setenv("ALSOFT_DRIVERS", "null", 0);
  struct Case {
    const char* what;
    bool newAudio;
    bool noAudio;
  } cases[] = {
      {"-noaudio", true, true},
      {"the legacy system", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Load(game);
    Options_Mutable().new_audio = c.newAudio;
    g_NoAudio = c.noAudio;
    Sound_InitHardware();
    EXPECT_FALSE(Audio_IsOn());
    Audio_Prepare();
    if (c.newAudio) {
      EXPECT_EQ(Audio_GetAsset(0)->buffer, 0u);
    }
    EXPECT_EQ(Audio_GetSoundLength(0), -1.0f);
    SoundHardware_Quit();
    Sound_Clear();
  }
}

TEST(OggDecode, WholeStreamsDecodeAndBadOnesAreRefused) {
  DecodedOgg pcm;
  ASSERT_TRUE(Ogg_DecodeAll(Fixture("sine_mono.ogg"), "mono", pcm));
  EXPECT_EQ(pcm.channels, 1);
  EXPECT_EQ(pcm.rate, 22050);
  EXPECT_EQ(pcm.samples.size(), size_t(22050 / 4) * 2);

  EXPECT_FALSE(Ogg_DecodeAll(Fixture("sine_3ch.ogg"), "three", pcm)) << "neither mono nor stereo";
  EXPECT_FALSE(Ogg_DecodeAll(Bytes{'O', 'g', 'g', 'S', 0, 0}, "cut", pcm));
  EXPECT_FALSE(Ogg_DecodeAll(Bytes(), "empty", pcm));
  Bytes half = Fixture("sine_mono.ogg");
  half.resize(half.size() / 2);
  Ogg_DecodeAll(half, "half", pcm);  // refused or cut short; never past the data
  EXPECT_LE(pcm.samples.size(), size_t(22050 / 4) * 2);
}

// The stream with the granule position (sample count) of its last page
// replaced, its page checksum made good again.
Bytes WithLastGranule(Bytes ogg, uint64_t granule) {
  size_t page = 0;
  for (size_t at = 0; at + 4 <= ogg.size(); ++at)
    if (!std::memcmp(&ogg[at], "OggS", 4)) page = at;
  const uint8_t segments = ogg[page + 26];
  size_t size = 27 + segments;
  for (int i = 0; i < segments; ++i) size += ogg[page + 27 + i];
  for (int i = 0; i < 8; ++i) ogg[page + 6 + i] = uint8_t(granule >> (8 * i));
  std::memset(&ogg[page + 22], 0, 4);
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint32_t(ogg[page + i]) << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) ogg[page + 22 + i] = uint8_t(crc >> (8 * i));
  return ogg;
}

TEST(OggDecode, ALyingSampleCountGivesNoMoreThanTheStreamHolds) {
  const Bytes ogg = Fixture("sine_mono.ogg");
  // Without trimming by the true count, the last block comes out whole.
  const size_t whole = size_t(22050 / 4 + 120) * 2;
  for (uint64_t granule : {uint64_t(1) << 40, uint64_t(22050 / 4 + 1000000)}) {
    SCOPED_TRACE(granule);
    DecodedOgg pcm;
    ASSERT_TRUE(Ogg_DecodeAll(WithLastGranule(ogg, granule), "lying", pcm));
    EXPECT_LE(pcm.samples.size(), whole);
    EXPECT_LT(pcm.samples.capacity(), whole + 2 * 64 * 1024) << "sized by the samples, not the header";
  }
}

TEST(OggDecode, TheMemoryReaderSeeksWithinItsData) {
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  struct Case {
    uint32_t from;
    int64_t offset;
    int whence;
    int result;
    uint32_t position;
  } cases[] = {
      {5, 3, 0, 0, 3},   {5, 2, 1, 0, 7},   {5, -5, 1, 0, 0},  {5, 4, 2, 0, 6},  {5, 0, 2, 0, 10},
      {5, 11, 0, -1, 10}, {5, -6, 1, -1, 10}, {5, 11, 2, -1, 10}, {5, -1, 0, -1, 10}, {5, 0, 3, -1, 5},
  };
  for (const Case& c : cases) {
    OggMemoryReader r{data, c.from};
    EXPECT_EQ(r.Seek(c.offset, c.whence), c.result) << c.offset << " " << c.whence;
    EXPECT_EQ(r.position, c.position) << c.offset << " " << c.whence;
  }
  OggMemoryReader r{data, 7};
  uint8_t out[8] = {};
  EXPECT_EQ(r.Read(out, 2, 4), 3u);
  EXPECT_EQ(out[0], 8);
  EXPECT_EQ(r.Read(out, 1, 1), 0u);
  EXPECT_EQ(r.Tell(), 10);
}

}  // namespace
