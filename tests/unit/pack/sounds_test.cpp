// The writer's sound chunks: their bytes as laid out, read by a reader of the
// test's own (the engine's reading is in the audio tests), and the
// description's errors.
#include "sounds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "pack.h"
#include "unit/container_bytes.h"

namespace {

using testbytes::Body;
using testbytes::Bytes;
using testbytes::F32;
using testbytes::Rd32;

using testbytes::Str;

TEST(PackSounds, RecordsAndEntriesAreLaidOutAsTheLoadersReadThem) {
  const std::string dir = testing::TempDir();
  {
    std::ofstream out(dir + "/tiny.wav", std::ios::binary);
    out << "RIFFabc";
  }
  const Bytes b = twpack::BuildFromDescription(
      "SOUND \"snd_goal\" kind=103 file=\"goal.ogg\" volume=0.5 pan=-1 effects=3 preload=0 audio=1\n"
      "SOUND none\n"
      "SOUND \"snd_b\"\n"
      "AUDIO bytes=0a0b0c\n"
      "AUDIO file=\"tiny.wav\" length=9\n"
      "AUDIO none\n",
      dir);
  const size_t sond = Body(b, "SOND");
  ASSERT_EQ(Rd32(b, sond), 3u);
  EXPECT_EQ(Rd32(b, sond + 8), 0u) << "the empty slot";
  const uint32_t first = Rd32(b, sond + 4), third = Rd32(b, sond + 12);
  EXPECT_EQ(first, sond + 16) << "records follow the list";
  EXPECT_EQ(third, first + 36) << "36-byte records";
  EXPECT_EQ(Str(b, Rd32(b, first)), "snd_goal");
  EXPECT_EQ(Rd32(b, first + 4), 103u);
  EXPECT_EQ(Str(b, Rd32(b, first + 8)), ".ogg") << "the extension follows the file name";
  EXPECT_EQ(Str(b, Rd32(b, first + 12)), "goal.ogg");
  EXPECT_EQ(Rd32(b, first + 16), 3u);
  EXPECT_EQ(F32(b, first + 20), 0.5f);
  EXPECT_EQ(F32(b, first + 24), -1.0f);
  EXPECT_EQ(Rd32(b, first + 28), 0u);
  EXPECT_EQ(Rd32(b, first + 32), 1u);
  // Defaults: a WAV in memory named after the sound, preloaded, its own entry.
  EXPECT_EQ(Rd32(b, third + 4), 101u);
  EXPECT_EQ(Str(b, Rd32(b, third + 8)), ".wav");
  EXPECT_EQ(Str(b, Rd32(b, third + 12)), "snd_b.wav");
  EXPECT_EQ(F32(b, third + 20), 1.0f);
  EXPECT_EQ(Rd32(b, third + 28), 1u);
  EXPECT_EQ(Rd32(b, third + 32), 2u);

  const size_t audo = Body(b, "AUDO");
  ASSERT_EQ(Rd32(b, audo), 3u);
  EXPECT_EQ(Rd32(b, audo + 12), 0u);
  const uint32_t e0 = Rd32(b, audo + 4), e1 = Rd32(b, audo + 8);
  EXPECT_EQ(e0 % 4, 0u);
  EXPECT_EQ(Rd32(b, e0), 3u);
  EXPECT_EQ(b[e0 + 4], 0x0a);
  EXPECT_EQ(e1 % 4, 0u) << "entries start on a word";
  EXPECT_EQ(Rd32(b, e1), 9u) << "the length word given";
  EXPECT_EQ(std::string(b.begin() + e1 + 4, b.begin() + e1 + 11), "RIFFabc");
  std::remove((dir + "/tiny.wav").c_str());
}

TEST(PackSounds, DescriptionErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"SOUND\n", "line 1: SOUND takes a quoted name, or none"},
      {"SOUND \"a\" loud=1\n", "line 1: unknown key 'loud'"},
      {"SOUND \"a\" volume=x\n", "line 1: bad real number 'x'"},
      {"AUDIO length=3\n", "line 1: AUDIO needs file=\"name\" or bytes=hex, or none"},
      {"\nAUDIO file=\"no-such-file.wav\"\n", "line 2: cannot read"},
      {"AUDIO bytes=abc\n", "line 1:"},
  };
  for (const Case& c : cases) {
    try {
      twpack::BuildFromDescription(c.text, testing::TempDir());
      ADD_FAILURE() << c.text << " accepted";
    } catch (const twpack::PackError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.text << ": " << e.what();
    }
  }
}

}  // namespace
