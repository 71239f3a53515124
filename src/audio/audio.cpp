#include "audio/audio.h"

#include <optional>
#include <string>
#include <vector>

#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/sound_chunks.h"
#include "core/options.h"
#include "platform/al.h"
#include "script/console.h"

AudioSwitches g_AudioSwitches;

namespace {
// Legacy sounds are not made yet, only named: scripts can name a sound and
// get the index it keeps.
std::vector<std::optional<std::string>> g_sounds;
bool g_audioOn = false;
}  // namespace

void Sound_StartupHook() {}

void Sound_Clear() {
  g_sounds.clear();
  Audio_ClearAssets();
}

bool Sound_Init(const ChunkBody& body) {
  const std::vector<std::optional<SoundRecord>> records = SoundChunk_Read(body);
  g_sounds.assign(records.size(), std::nullopt);
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i]) g_sounds[i] = records[i]->name;
  return true;
}

int32_t Sound_Find(std::string_view name) { return RecordNames_Find(g_sounds, name); }

bool Wave_Init(const ChunkBody& body) {
  AudioChunk_Read(body);
  return true;
}

bool Audio_IsOn() { return g_audioOn; }

void Sound_InitHardware() {
  g_audioOn = false;
  if (!Options_Get().new_audio) return;
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

bool Sound_Prepare() { return true; }

void SoundHardware_Quit() {
  // Sources let go of their buffers before the buffers go, and both go
  // while their context still exists.
  Audio_Quit();
  Audio_ClearAssets();
  al::CloseDevice();
  g_audioOn = false;
}

void Sound_FreeAll() { Sound_Clear(); }
void InitSoundFunctions() {}
