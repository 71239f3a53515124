// Script names of resources: the name tables of sounds, audio assets and
// fonts read from their chunks, and resolution through every table's
// look-up as start-up installs them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "unit/container_bytes.h"
#include "core/game_data.h"
#include "runner/startup.h"
#include "draw/draw.h"
#include "core/paths.h"
#include "pack.h"
#include "script/constants.h"
#include "script/value.h"
#include "unit/script/resolved.h"
#include "unit/world_reset.h"

namespace {

using fixture::Resolved;

// A SOND record of 36 bytes with this name and file name; or an empty slot.
struct Sound {
  const char* name;
  const char* file;
};

std::vector<uint8_t> SoundChunk(const std::vector<Sound>& sounds) {
  twpack::Writer w;
  twpack::ChunkBuilder& c = w.AddChunk("SOND");
  std::vector<twpack::Label> labels;
  c.U32(uint32_t(sounds.size()));
  for (const Sound& s : sounds) {
    labels.push_back(c.NewLabel());
    if (s.name) c.OffsetOf(labels.back());
    else c.U32(0);
  }
  for (size_t i = 0; i < sounds.size(); ++i) {
    if (!sounds[i].name) continue;
    c.Bind(labels[i]).StringRef(sounds[i].name).U32(0).StringRef(".wav").StringRef(sounds[i].file);
    c.U32(0).F32(1).F32(0).U32(1).U32(uint32_t(i));
  }
  return w.Build();
}

// A FONT chunk whose records hold only a name (the name table reads no more),
// then the 512-byte character table.
std::vector<uint8_t> FontChunk(const std::vector<const char*>& names) {
  twpack::Writer w;
  twpack::ChunkBuilder& c = w.AddChunk("FONT");
  std::vector<twpack::Label> labels;
  c.U32(uint32_t(names.size()));
  for (const char* n : names) {
    labels.push_back(c.NewLabel());
    if (n) c.OffsetOf(labels.back());
    else c.U32(0);
  }
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i]) c.Bind(labels[i]).StringRef(names[i]).StringRef("Arial").Zeros(40);
  c.Zeros(512);
  return w.Build();
}

std::vector<uint8_t> PathChunk(const char* name) {
  twpack::Writer w;
  twpack::ChunkBuilder& c = w.AddChunk("PATH");
  twpack::Label a = c.NewLabel();
  c.U32(1).OffsetOf(a);
  c.Bind(a).StringRef(name).U32(0).U32(1).U32(4).U32(0);
  return w.Build();
}

// Runs `load` on the first chunk of the container, which lives as long as
// the test's tables point nowhere into it.
void LoadFirst(const std::vector<uint8_t>& bytes, const std::function<bool(const ChunkBody&)>& load) {
  GameDataFile file(bytes);
  const std::vector<ChunkRef> chunks = file.Chunks();
  ASSERT_FALSE(chunks.empty());
  ASSERT_TRUE(load(ChunkBody(file, chunks[0])));
}

class ResourceNames : public WorldTest {
 protected:
  ResourceNames() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}
  void TearDown() override {
    Sound_Clear();
    Font_Init();
    Path_FreeAll();
    WorldTest::TearDown();
  }
};

TEST_F(ResourceNames, SoundsAreFoundByNameAndAudioAssetsByFileName) {
  const std::vector<Sound> sounds = {{"snd_boom", "boom.wav"}, {nullptr, nullptr}, {"snd_theme", "theme.music.ogg"}};
  LoadFirst(SoundChunk(sounds), Sound_Init);
  EXPECT_EQ(Sound_Find("snd_boom"), 0);
  EXPECT_EQ(Sound_Find("snd_theme"), 2);
  EXPECT_EQ(Sound_Find("boom"), -1) << "legacy sounds go by their name";
  EXPECT_EQ(Sound_Find("SND_BOOM"), -1);
  EXPECT_EQ(Sound_Find(""), -1) << "the empty slot has no name";
  EXPECT_EQ(Audio_FindAsset("boom"), -1) << "the legacy system filled no assets";

  LoadFirst(SoundChunk(sounds), Audio_Load);
  struct Case {
    const char* name;
    int32_t index;
  } cases[] = {{"boom", 0},  {"theme", 2},     {"theme.music", 2}, {"boo", -1},
               {"boom.wav", -1}, {"snd_boom", -1}, {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(Audio_FindAsset(c.name), c.index) << c.name;

  Sound_Clear();
  EXPECT_EQ(Audio_FindAsset("boom"), -1);
  EXPECT_EQ(Sound_Find("snd_boom"), -1);
}

TEST_F(ResourceNames, FontsAreFoundByTheirName) {
  LoadFirst(FontChunk({nullptr, "fnt_big", "fnt_big", "fnt_small"}), Font_Load);
  EXPECT_EQ(Font_Find("fnt_big"), 1) << "the first of two";
  EXPECT_EQ(Font_Find("fnt_small"), 3);
  EXPECT_EQ(Font_Find("Arial"), -1) << "the face name is not the font's name";
  EXPECT_EQ(Font_Find(""), -1);
  EXPECT_TRUE(Font_Exists(1));
  EXPECT_FALSE(Font_Exists(0)) << "an empty slot";
}

TEST_F(ResourceNames, ADamagedNameIsRefusedNamingTheRecord) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool (*load)(const ChunkBody&);
    const char* message;
  };
  std::vector<Case> cases;
  using testbytes::Body;
  using testbytes::Put32;
  using testbytes::Rd32;
  // A name reference past the container's end.
  const uint32_t bad = 0x7FFFFFF0;
  std::vector<uint8_t> sound = SoundChunk({{"snd_a", "a.wav"}, {"snd_b", "b.wav"}});
  Put32(sound, Rd32(sound, Body(sound, "SOND") + 8), bad);
  cases.push_back({"legacy name", sound, Sound_Init, "SOND sound 1: string reference"});
  std::vector<uint8_t> asset = SoundChunk({{"snd_a", "a.wav"}});
  Put32(asset, Rd32(asset, Body(asset, "SOND") + 4) + 12, bad);
  cases.push_back({"asset file name", asset, Audio_Load, "SOND sound 0: string reference"});
  // A record that starts in the container's last bytes, its name word past the end.
  std::vector<uint8_t> font = FontChunk({"fnt_a"});
  Put32(font, Body(font, "FONT") + 4, uint32_t(font.size() - 2));
  cases.push_back({"font record at the end", font, Font_Load, "FONT font 0:"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameDataFile file(c.bytes);
    try {
      c.load(ChunkBody(file, file.Chunks()[0]));
      ADD_FAILURE() << "accepted";
    } catch (const DataError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

TEST_F(ResourceNames, StartUpInstallsEveryTablesLookUpInResolutionOrder) {
  Constant_RegisterBuiltins();
  Constant_AddReal("pth_loop", 99);
  Constant_AddReal("fnt_big", 98);
  LoadFirst(SoundChunk({{"snd_boom", "boom.wav"}, {"twin", "twin.wav"}}), Sound_Init);
  LoadFirst(SoundChunk({{"x", "asset.wav"}}), Audio_Load);
  LoadFirst(FontChunk({"twin", "fnt_big"}), Font_Load);
  LoadFirst(PathChunk("pth_loop"), Path_Load);
  ScriptValue v;
  EXPECT_FALSE(Constant_Resolve("snd_boom", &v)) << "nothing resolves before the look-ups are installed";
  EXPECT_EQ(Resolved("pth_loop"), 99);

  Runner_InstallResourceLookups();
  EXPECT_EQ(Resolved("snd_boom"), 0);
  EXPECT_EQ(Resolved("asset"), 0);
  EXPECT_EQ(Resolved("fnt_big"), 1) << "a font hides a constant";
  EXPECT_EQ(Resolved("pth_loop"), 0) << "a path hides a constant";
  EXPECT_EQ(Resolved("twin"), 1) << "sounds come before fonts";
  EXPECT_EQ(Resolved("c_red"), 255);
  EXPECT_EQ(Resolved("os_linux"), 6);
  EXPECT_FALSE(Constant_Resolve("spr_none", &v));
}

}  // namespace
