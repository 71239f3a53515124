#include "audio/audio.h"

#include <optional>
#include <string>
#include <vector>

AudioSwitches g_AudioSwitches;

namespace {
// Sounds are not made yet, only named: scripts can name a sound and get the
// index it keeps.
std::vector<std::optional<std::string>> g_sounds;  // legacy sounds: the record's name
std::vector<std::optional<std::string>> g_assets;  // audio assets: the record's file name
}  // namespace

void Sound_StartupHook() {}

void Sound_Clear() {
  g_sounds.clear();
  g_assets.clear();
}

bool Sound_Init(const ChunkBody& body) {
  g_sounds = body.RecordNames(0, "sound");
  return true;
}

bool Audio_Load(const ChunkBody& body) {
  g_assets = body.RecordNames(12, "sound");
  return true;
}

int32_t Sound_Find(std::string_view name) { return RecordNames_Find(g_sounds, name); }

int32_t Audio_FindAsset(std::string_view name) {
  for (size_t i = 0; i < g_assets.size(); ++i) {
    if (!g_assets[i]) continue;
    const std::string& file = *g_assets[i];
    if (file.size() > name.size() && file.compare(0, name.size(), name) == 0 && file[name.size()] == '.') {
      return int32_t(i);
    }
  }
  return -1;
}

bool Wave_Init(const ChunkBody&) { return true; }
bool Audio_WAVs(const ChunkBody&) { return true; }
void Sound_InitHardware() {}
bool Sound_Prepare() { return true; }
void Audio_Prepare() {}
void SoundHardware_Quit() {}
void Sound_FreeAll() { Sound_Clear(); }
void InitSoundFunctions() {}
void Audio_Tick() {}
