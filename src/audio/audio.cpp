#include "audio/audio.h"

#include <optional>
#include <string>
#include <vector>

#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/legacy_sound.h"
#include "audio/sound_chunks.h"
#include "core/options.h"
#include "platform/al.h"
#include "script/console.h"

AudioSwitches g_AudioSwitches;

namespace {
bool g_audioOn = false;
}  // namespace

void Sound_StartupHook() {}

void Sound_Clear() {
  LegacySound_Clear();
  Audio_ClearAssets();
}

bool Sound_Init(const ChunkBody& body) {
  Sound_InitFromRecords(SoundChunk_Read(body));
  return true;
}

bool Wave_Init(const ChunkBody& body) {
  Sound_BindEntries(AudioChunk_Read(body));
  return true;
}

bool Audio_IsOn() { return g_audioOn; }

void Sound_InitHardware() {
  g_audioOn = false;
  if (!Options_Get().new_audio) {
    SoundHardware_Init();
    return;
  }
  if (g_NoAudio) {
    g_DebugConsole->Output("Audio: -noaudio given, the audio system is off\n");
    return;
  }
  std::string error;
  if (!al::OpenDevice(error)) {
    g_DebugConsole->Output("Audio: no audio device (%s), the audio system is off\n", error.c_str());
    return;
  }
  g_audioOn = true;
  Audio_Init();
}

bool Sound_Prepare() { return Sound_PrepareAll(); }

void SoundHardware_Quit() {
  // Sources let go of their buffers before the buffers go, and both go
  // while their context still exists.
  Audio_Quit();
  Audio_ClearAssets();
  SoundHardware_QuitLegacy();
  al::CloseDevice();
  g_audioOn = false;
}

void Sound_FreeAll() {
  LegacySound_FreeAll();
  Audio_ClearAssets();
}
