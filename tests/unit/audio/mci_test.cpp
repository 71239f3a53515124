// Our MCI: the command strings it takes and their answers and errors, an MP3
// file played on OpenAL's null output, CD audio answering as a machine
// without a drive, and a play that ends by itself being seen as ended.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "audio/audio.h"
#include "audio/mci.h"
#include "audio/mp3_decode.h"
#include "core/options.h"
#include "files/files.h"
#include "platform/al.h"
#include "unit/world_reset.h"

namespace {

class Mci : public WorldTest {
 protected:
  Mci() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}
  void SetUp() override {
    WorldTest::SetUp();
    LoadSave_SetBundleDirectory(std::string(TW_FIXTURES_DIR) + "/audio");
    setenv("ALSOFT_DRIVERS", "null", 0);
    std::string error;
    ASSERT_TRUE(al::OpenDevice(error)) << error;
  }
  void TearDown() override {
    Mci_CloseAll();
    al::CloseDevice();
    LoadSave_SetBundleDirectory("");
    WorldTest::TearDown();
  }
};

struct Case {
  const char* command;
  uint32_t error;
  const char* reply;
};

void RunCases(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    std::string reply = "left over";
    EXPECT_EQ(Mci_SendString(c.command, &reply), c.error) << c.command;
    EXPECT_EQ(reply, c.reply) << c.command;
  }
}

TEST_F(Mci, CommandsWithoutAnOpenFileAreAnsweredWithTheirErrors) {
  RunCases({
      {"", kMciEmptyCommand, ""},
      {"   wait", kMciEmptyCommand, ""},
      {"play", kMciMissingValue, ""},
      {"dance MediaFile1", kMciUnknownCommand, ""},
      {"status MediaFile1 mode", kMciNoSuchDevice, ""},
      {"close MediaFile1", kMciNoSuchDevice, ""},
      {"close all", kMciOk, ""},
      // No drive: every CD command finds no device and no reply.
      {"open cdaudio", kMciNoSuchDevice, ""},
      {"status cdaudio media present", kMciNoSuchDevice, ""},
      {"status cdaudio mode", kMciNoSuchDevice, ""},
      {"set cdaudio door open", kMciNoSuchDevice, ""},
      {"open \"missing.mp3\" type mpegvideo alias m", kMciFileNotFound, ""},
      {"open \"../audio/sine_mono.mp3\" alias m", kMciFileNotFound, ""},
      {"open \"/etc/passwd\" alias m", kMciFileNotFound, ""},
      {"open \"sine_mono.ogg\" type mpegvideo alias m", kMciCannotPlayFile, ""},
      {"open \"sine_mono.mp3\" type waveaudio alias m", kMciUnsupportedType, ""},
      {"open \"sine_mono.mp3\" type mpegvideo alias", kMciMissingValue, ""},
      {"open \"sine_mono.mp3\" type mpegvideo blend m", kMciUnknownKeyword, ""},
      {"open \"sine_mono.mp3\" alias cdaudio", kMciAliasInUse, ""},
  });
  EXPECT_EQ(Mci_OpenCount(), 0u);
}

TEST_F(Mci, AnOpenMp3AnswersItsModePositionLengthAndVolume) {
  RunCases({
      {"open \"sine_mono.mp3\" type mpegvideo alias Tune", kMciOk, ""},
      {"OPEN sine_mono.mp3 alias tune", kMciAliasInUse, ""},
      {"set tune time format milliseconds", kMciOk, ""},
      {"set tune time format ms wait", kMciOk, ""},
      {"set tune time format frames", kMciOutOfRange, ""},
      {"set tune seek exactly on", kMciOk, ""},
      {"set tune door open", kMciUnknownKeyword, ""},
      {"status tune length", kMciOk, "1071"},  // the encoder pads the 1 s sine
      {"status tune mode", kMciOk, "stopped"},
      {"status tune position", kMciOk, "0"},
      {"status tune time format", kMciOk, "milliseconds"},
      {"status tune", kMciMissingValue, ""},
      {"status tune colour", kMciUnknownKeyword, ""},
      {"setaudio tune volume to 1001", kMciOutOfRange, ""},
      {"setaudio tune volume to loud", kMciOutOfRange, ""},
      {"setaudio tune volume to 250", kMciOk, ""},
      {"status tune volume", kMciOk, "250"},
      {"play tune from 5000", kMciOutOfRange, ""},
      {"play tune backwards", kMciUnknownKeyword, ""},
      {"play tune repeat", kMciOk, ""},
      {"status TUNE mode wait", kMciOk, "playing"},
      {"pause tune", kMciOk, ""},
      {"status tune mode", kMciOk, "paused"},
      {"resume tune", kMciOk, ""},
      {"status tune mode", kMciOk, "playing"},
      {"seek tune to 500", kMciOk, ""},
      {"status tune mode", kMciOk, "stopped"},
      {"status tune position", kMciOk, "500"},
      {"seek tune to end", kMciOk, ""},
      {"status tune position", kMciOk, "1071"},
      {"seek tune to 1072", kMciOutOfRange, ""},
      {"seek tune", kMciMissingValue, ""},
      {"stop tune", kMciOk, ""},
      {"close tune", kMciOk, ""},
      {"status tune mode", kMciNoSuchDevice, ""},
  });
  EXPECT_EQ(Mci_OpenCount(), 0u);
}

TEST_F(Mci, APlayThatReachesItsEndIsSeenAsEndedAndStopped) {
  ASSERT_EQ(Mci_SendString("open sine_mono.mp3 alias m", nullptr), kMciOk);
  ASSERT_EQ(Mci_SendString("play m from 900", nullptr), kMciOk);
  EXPECT_FALSE(Mci_HasEnded("m"));
  std::string mode;
  for (int i = 0; i < 500 && !Mci_HasEnded("m"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(Mci_HasEnded("M"));
  Mci_SendString("status m mode", &mode);
  EXPECT_EQ(mode, "stopped");
  Mci_SendString("status m position", &mode);
  EXPECT_EQ(mode, "1071");
  // Stopped by a command is not an end.
  ASSERT_EQ(Mci_SendString("play m", nullptr), kMciOk);
  ASSERT_EQ(Mci_SendString("stop m", nullptr), kMciOk);
  EXPECT_FALSE(Mci_HasEnded("m"));
}

TEST_F(Mci, WithoutADeviceNothingOpens) {
  al::CloseDevice();
  EXPECT_EQ(Mci_SendString("open sine_mono.mp3 alias m", nullptr), kMciNoAudioDevice);
  EXPECT_EQ(Mci_OpenCount(), 0u);
}

TEST(Mp3Decode, ASineDecodesWholeAndOtherBytesAreRefused) {
  std::string error;
  DecodedMp3 pcm;
  const uint8_t junk[] = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 0xFF, 0xFB};
  EXPECT_FALSE(Mp3_DecodeAll(junk, pcm, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Mp3_DecodeAll({}, pcm, error));
}

}  // namespace
