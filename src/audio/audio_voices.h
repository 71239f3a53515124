// The playing side of the OpenAL audio system: the pool of sources, the
// voices that play sounds on them (with priorities, fades, pitch and loops),
// the music voice, emitters, the listener and the per-frame update.
//
// Sound ids: below kFirstVoiceId a sound index, kMusicVoiceId the music
// voice, above it voice ids from one counter that never resets.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

struct AudioAsset;
struct AudioEmitter;

inline constexpr int32_t kMusicVoiceId = 200000;
inline constexpr int32_t kFirstPlayedVoiceId = 200001;
inline constexpr int32_t kDefaultChannels = 128;
// Sources beyond what the OpenAL output gives by default would fail to be
// made, leaving no voice at all.
inline constexpr int32_t kMaxChannels = 256;

struct AudioVoice {
  bool loop = false;
  bool active = false;
  bool streamed = false;
  // A streamed voice stays active with this until the next frame update.
  bool stop_requested = false;
  int32_t source_index = -1;
  int32_t voice_id = 0;
  int32_t sound_index = -1;
  float priority = 1.0f;
  float gain = 1.0f;
  float gain_delta = 0.0f;
  int32_t fade_frames = 0;
  AudioEmitter* emitter = nullptr;

  void Stop();
  void Pause();
  void Resume();
  // Marks the voice free and detaches it from its emitter.
  void Release();
  bool IsPlaying() const;
  bool IsPaused() const;
  // Fades the voice's gain to `target` over `ms` (at once for 0).
  void SetGainFade(float target, int32_t ms);
};

struct AudioEmitter {
  float x = 0, y = 0, z = 0;
  float vx = 0, vy = 0, vz = 0;
  bool in_use = false;
  float falloff_reference = 100.0f;
  float falloff_max = 100000.0f;
  float falloff_factor = 1.0f;
  float gain = 1.0f;
  float pitch = 1.0f;
  // Slots may be null or hold voices that have since stopped.
  std::vector<AudioVoice*> voices;

  void Attach(AudioVoice* voice);
  void Detach(AudioVoice* voice);
};

struct AudioListener {
  float x = 0, y = 0, z = 0;
  float vx = 0, vy = 0, vz = 0;
  float orientation[6] = {0, 0, 1, 0, 1, 0};  // "at" then "up"
};

// What the streaming workers provide (ogg_stream.h fills it); without them a
// streamed sound does not start. Tests may stand in for the workers.
struct AudioStreaming {
  void (*init)(int workers, int sources, int music_source) = nullptr;
  bool (*play)(int32_t source, AudioAsset& asset, bool loop) = nullptr;
  void (*stop)(int32_t source) = nullptr;
  void (*pause)(int32_t source) = nullptr;
  void (*resume)(int32_t source) = nullptr;
  // Releases streamed voices whose channel has ended.
  void (*update)(std::vector<std::unique_ptr<AudioVoice>>& voices, AudioVoice& music) = nullptr;
  void (*shutdown)() = nullptr;
};
AudioStreaming& Audio_Streaming();

// Start-up and shutdown, while the device is open.
void Audio_Init();
void Audio_Quit();
void Audio_CreateSources(int32_t n);
// Logs the pending OpenAL error, with `tag` when not null.
void Audio_CheckError(const char* tag);
void Audio_SetChannelCount(int32_t n);
int32_t Audio_ChannelCount();

// Frames a fade of `ms` lasts at the current room's speed.
int32_t Audio_FadeFrames(int32_t ms);

// Each returns the new voice id, or -1 when the system is off, the sound
// does not exist, no voice can be had or the sound did not start.
int32_t Audio_PlaySound(int32_t sound, float priority, int32_t loop);
int32_t Audio_PlaySoundAt(int32_t sound, float x, float y, float z, float falloff_reference, float falloff_max,
                          float falloff_factor, int32_t loop, float priority);
int32_t Audio_PlaySoundOn(int32_t emitter, int32_t sound, int32_t loop, float priority);
void Audio_PlayMusic(int32_t sound, int32_t loop);

// By id: a voice id names that voice, a sound index every voice of it.
void Audio_StopSound(int32_t id);
void Audio_PauseSound(int32_t id);
void Audio_ResumeSound(int32_t id);
bool Audio_IsPlaying(int32_t id);
bool Audio_IsPaused(int32_t id);
bool Audio_Exists(int32_t id);
void Audio_SetGain(int32_t id, float gain, int32_t ms);
void Audio_SetPitch(int32_t id, float pitch);
void Audio_StopAll();
void Audio_PauseAll();
void Audio_ResumeAll();
// The active table voice of this id (never the music voice), or null.
AudioVoice* Audio_FindVoice(int32_t id);
// The music voice; null while the system is off.
AudioVoice* Audio_MusicVoice();
// The source name a voice plays on (0 for none), for checks of what OpenAL
// was told.
uint32_t Audio_SourceOf(const AudioVoice& voice);
// The source name at a position of the pool (0 for none).
uint32_t Audio_SourceAt(int32_t index);

void Audio_StopMusic();
void Audio_PauseMusic();
void Audio_ResumeMusic();
bool Audio_MusicIsPlaying();
void Audio_SetMusicGain(float gain, int32_t ms);

void Audio_SetMasterGain(float gain);
void Audio_SetFalloffModel(int32_t model);
int32_t Audio_IsNewSystem();

// Emitters answer -1 or false, or do nothing, while the system is off or for
// an id without an emitter.
int32_t Audio_CreateEmitter();
void Audio_FreeEmitter(int32_t id);
bool Audio_EmitterExists(int32_t id);
void Audio_SetEmitterPosition(int32_t id, float x, float y, float z);
void Audio_SetEmitterVelocity(int32_t id, float x, float y, float z);
void Audio_SetEmitterFalloff(int32_t id, float reference, float max, float factor);
void Audio_SetEmitterGain(int32_t id, float gain);
void Audio_SetEmitterPitch(int32_t id, float pitch);

void Audio_SetListenerPosition(float x, float y, float z);
void Audio_SetListenerVelocity(float x, float y, float z);
void Audio_SetListenerOrientation(float at_x, float at_y, float at_z, float up_x, float up_y, float up_z);
