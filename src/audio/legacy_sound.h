// The legacy sound system: sound resources, the slot table of the sample
// player (one buffer played through four sources in turn, volume fades
// counted in frames) and the MP3 music it hands to the MCI.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/sound_chunks.h"

struct SoundHardwareSample {
  SoundHardwareSample() = default;
  SoundHardwareSample(const SoundHardwareSample&) = delete;
  SoundHardwareSample& operator=(const SoundHardwareSample&) = delete;
  // Gives the sources and the buffer back.
  ~SoundHardwareSample();

  uint32_t buffer = 0;
  uint32_t sources[4] = {};
  int next = 0;
  float volume = 1.0f;
  float delta = 0.0f;
  int32_t fade_frames = 0;
};

struct SoundSlot {
  bool in_use = false;
  int32_t kind = 0;  // 3 is kept as 1
  std::unique_ptr<SoundHardwareSample> sample;
};

class CSound {
 public:
  int32_t kind = -1;
  std::string extension;
  std::string file_name;
  std::unique_ptr<std::vector<uint8_t>> file_stream;  // a sound added from a file
  bool preload = true;
  uint32_t effects = 0;
  double volume = 1.0;
  double pan = 0.0;
  int32_t slot = -1;
  std::span<const uint8_t> audio_entry;  // the bound AUDO file
  bool bound = false;
  uint32_t audio_index = 0;

  CSound() = default;
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;
  // A sound that goes gives its slot back.
  ~CSound() { FreeSlot(); }

  void Clear();
  void LoadFromChunk(const SoundRecord& record);
  // False when the game cannot read the file.
  bool LoadFromFile(const std::string& path, int32_t kind, bool preload);
  void Prepare();
  // Prepares on first use; -1 when the sound cannot have a slot.
  int32_t GetSlot();
  // Stops the sound and gives its slot, with its sources and buffer, back.
  void FreeSlot();
};

// ---- The sound table ----
void LegacySound_Clear();
void Sound_InitFromRecords(const std::vector<std::optional<SoundRecord>>& records);
void Sound_BindEntries(const std::vector<std::span<const uint8_t>>& entries);
int32_t Sound_Count();
bool Sound_Exists(int32_t index);
CSound* Sound_Get(int32_t index);
// A copy of the name; "<undefined>" for a bad index or a hole.
std::string Sound_GetName(int32_t index);
int32_t Sound_Find(std::string_view name);  // exactly this name, or -1
// The new index, or -1 (and no new entry) when the file cannot be read.
int32_t Sound_Add(const std::string& path, int32_t kind, bool preload);
bool Sound_Replace(int32_t index, const std::string& path, int32_t kind, bool preload);
bool Sound_Delete(int32_t index);
bool Sound_PrepareAll();
void LegacySound_FreeAll();

// ---- Slots ----
int32_t Sound_AllocSlot(int32_t kind);
// Stops a slot's sample, deletes it and makes the slot free again.
void Sound_ReleaseSlot(int32_t slot);
int32_t Sound_SlotCount();
int32_t Sound_SlotsInUse();
const SoundSlot* Sound_GetSlot(int32_t slot);

// ---- Play control ----
void Sound_Play(const std::string& name, int32_t slot, bool loop);
void Sound_Stop(const std::string& name, int32_t slot);
bool Sound_IsPlaying(const std::string& name, int32_t slot);
void Sound_StopAll();
void Sound_SetVolume(int32_t slot, double volume, int32_t ms);

// ---- For the action library ----
// Plays or stops a legacy sound by index. A missing sound is reported
// ("Trying to play non-existing sound.", "Trying to stop non-existing
// sound.") the first time each index misses, not on every step an action
// runs; false when it is missing.
bool Sound_ActionPlay(int32_t index, bool loop);
bool Sound_ActionStop(int32_t index);

// ---- The player ----
// Starts the player for the legacy system: the device is opened unless
// "-noaudio" is given; false when there is none.
bool SoundHardware_Init();
// Frees every sample, closes the music.
void SoundHardware_QuitLegacy();
bool SoundHardware_On();
void SoundHardware_SetMasterVolume(float volume);
float SoundHardware_MasterVolume();
void SoundHardware_PlayMP3(const std::string& name, bool loop);
// Plays the MIDI name's MP3 twin (music.mid and music.midi play music.mp3).
void SoundHardware_PlayMIDI(const std::string& name, bool loop);
void SoundHardware_StopMusic();
// Pauses or resumes the music file playing, if any.
void SoundHardware_PauseMusic(bool pause);
bool SoundHardware_MusicPlaying();
// The MCI alias number of the current music file (0 for none).
int32_t SoundHardware_MusicAlias();
void SoundHardware_Tick();
