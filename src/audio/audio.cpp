#include "audio/audio.h"

bool g_NoAudio = false;

void Sound_StartupHook() {}
void Sound_Clear() {}
bool Sound_Init(const ChunkBody&) { return true; }
bool Audio_Load(const ChunkBody&) { return true; }
bool Wave_Init(const ChunkBody&) { return true; }
bool Audio_WAVs(const ChunkBody&) { return true; }
void Sound_InitHardware() {}
bool Sound_Prepare() { return true; }
void Audio_Prepare() {}
void SoundHardware_Quit() {}
void Sound_FreeAll() {}
void InitSoundFunctions() {}
void Audio_Tick() {}
