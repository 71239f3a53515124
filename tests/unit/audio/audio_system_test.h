// The fixture of the tests that start the OpenAL audio system.
#pragma once
#include "audio/audio.h"
#include "audio/audio_voices.h"
#include "audio/ogg_stream.h"
#include "core/options.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

// A world whose debug console is kept for reading, and whose audio system is
// shut down and switched back off after each test.
class AudioSystemTest : public WorldTest {
 protected:
  AudioSystemTest() : WorldTest({.builtinVariables = false, .builtinConstants = false}) {}
  void SetUp() override {
    WorldTest::SetUp();
    saved_ = g_DebugConsole;
    g_DebugConsole = &console_;
  }
  void TearDown() override {
    SoundHardware_Quit();
    Sound_Clear();
    Audio_Streaming() = OggAudio_Streaming();
    g_NoAudio = false;
    Options_Mutable().new_audio = false;
    g_DebugConsole = saved_;
    WorldTest::TearDown();
  }

  LineConsole console_;
  tagIConsole* saved_ = nullptr;
};
