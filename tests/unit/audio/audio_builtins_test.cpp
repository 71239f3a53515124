// The "Sound.." group with the audio_ family: the fixed order and counts, and
// the argument check only audio_play_sound makes. What the built-ins do is
// checked end to end in tests/e2e/test_audio_builtins.py.
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "audio/sound_group.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;

class AudioBuiltins : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitSoundFunctions();
  }
};

TEST_F(AudioBuiltins, RegisteredInTheGroupsOrderAfterTheLegacyOnes) {
  auto names = ExpectGroupRegistered(Audio_SoundGroup());
  EXPECT_EQ(names.size(), 42u + 37u);
  EXPECT_EQ(Audio_AudioBuiltins().size(), 37u);
  const int mci = FunctionRegistry_Find("MCI_command");
  const int first = FunctionRegistry_Find("audio_listener_position");
  const int last = FunctionRegistry_Find("audio_sound_length");
  ASSERT_GE(mci, 0);
  EXPECT_GT(first, mci);
  EXPECT_EQ(last - first, 36);
  EXPECT_EQ(FunctionRegistry_GetArgCount(FunctionRegistry_Find("audio_play_sound")), -1);
  EXPECT_EQ(FunctionRegistry_GetArgCount(FunctionRegistry_Find("audio_play_sound_at")), 9);
  EXPECT_EQ(FunctionRegistry_GetArgCount(FunctionRegistry_Find("audio_listener_orientation")), 6);
}

TEST_F(AudioBuiltins, OnlyPlaySoundChecksItsArguments) {
  const struct {
    const char* name;
    std::initializer_list<dstest::Value> args;
    const char* error;
    double result;
  } cases[] = {
      {"audio_play_sound", {0.0, 1.0}, "Illegal argument count", -1},
      {"audio_play_sound", {0.0, 1.0, 0.0, 0.0}, "Illegal argument count", -1},
      {"audio_play_sound", {0.0, "high", 0.0}, "Illegal argument type", -1},
      {"audio_play_sound", {"0", 1.0, 0.0}, "Illegal argument type", -1},
      // Well formed: no report; without a device the answer is still -1.
      {"audio_play_sound", {0.0, 1.0, 0.0}, "", -1},
      // The others read the real part of what they are given.
      {"audio_play_sound_on", {0.0, "x", 0.0, 1.0}, "", -1},
      {"audio_is_playing", {"x"}, "", 0},
      {"audio_emitter_create", {}, "", -1},
  };
  for (const auto& c : cases) {
    auto r = Call(c.name, c.args);
    if (*c.error)
      EXPECT_NE(r.error.find(c.error), std::string::npos) << c.name << ": " << r.error;
    else
      EXPECT_EQ(r.error, "") << c.name;
    EXPECT_EQ(r.Real(), c.result) << c.name;
  }
}

}  // namespace
