// Audio, as far as start-up and shutdown need it so far.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/game_data.h"

// The audio's command-line switches.
struct AudioSwitches {
  bool no_audio = false;  // "-noaudio": the new audio system stays off

  void Reset() { *this = AudioSwitches(); }
};
extern AudioSwitches g_AudioSwitches;
inline bool& g_NoAudio = g_AudioSwitches.no_audio;

void Sound_StartupHook();
void Sound_Clear();
bool Sound_Init(const ChunkBody& body);
bool Audio_Load(const ChunkBody& body);
// The legacy sound of exactly this name, or -1.
int32_t Sound_Find(std::string_view name);
// The audio asset whose file name is this name followed by "." (its
// extension), or -1.
int32_t Audio_FindAsset(std::string_view name);
bool Wave_Init(const ChunkBody& body);
bool Audio_WAVs(const ChunkBody& body);
// Opens the audio device for the OpenAL audio system when the game chose it
// and "-noaudio" is not given; without a device the system stays off.
void Sound_InitHardware();
// The OpenAL audio system is on: chosen by the game, with a device.
bool Audio_IsOn();
bool Sound_Prepare();
void Audio_Prepare();
// Destroys the audio assets and closes the device.
void SoundHardware_Quit();
void Sound_FreeAll();
void InitSoundFunctions();
// Per-frame audio update, before the step, even while paused.
void Audio_Tick();
