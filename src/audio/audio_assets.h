// The sounds of the OpenAL audio system: one AudioAsset per SOND record,
// bound to its AUDO entry and prepared into an OpenAL buffer when it plays
// from memory.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/sound_chunks.h"

// The record's kind as this system reads it; legacy kinds below 100 map to
// the first two.
enum class AudioStorageKind : int32_t {
  kStreamedFile = 100,     // Ogg beside the game, streamed
  kWav = 101,              // WAV in memory, one buffer
  kCompressed = 102,       // Ogg kept compressed in memory, streamed
  kDecompressAtLoad = 103  // Ogg decoded once into one buffer
};

// The buffer name of an asset whose buffer has been deleted.
inline constexpr uint32_t kDeletedBuffer = 0xFFFFFFFFu;

struct AudioAsset {
  AudioAsset() = default;
  AudioAsset(const AudioAsset&) = delete;
  AudioAsset& operator=(const AudioAsset&) = delete;
  ~AudioAsset();

  std::string name;  // the record's file name, "goal.wav"
  float gain = 1.0f;
  float pitch = 1.0f;
  std::span<const uint8_t> entry;  // the bound AUDO file; empty until bound
  bool bound = false;
  uint32_t audio_index = 0;
  uint32_t buffer = 0;  // 0 none, kDeletedBuffer after deletion
  float gain_delta = 0.0f;
  int32_t fade_frames = 0;
  bool streamed_from_file = false;
  bool compressed = false;
  bool decompress_at_load = false;
  std::span<const uint8_t> compressed_data;  // codes 102 and 103
  std::string resolved_path;                 // a file-streamed sound's, once played
  float length = -1.0f;                      // seconds, -1 until computed

  // Streamed sounds never own a buffer.
  bool Streamed() const { return streamed_from_file || compressed; }
  void FillFrom(const SoundRecord& record);
};

// The asset table, indexed by sound index; null for an empty slot.
std::vector<std::unique_ptr<AudioAsset>>& Audio_Assets();
// Destroys every asset (deleting their buffers).
void Audio_ClearAssets();

AudioAsset* Audio_GetAsset(int32_t index);
// 1 for a sound streamed from a file, 0 for any other, -1 for none.
int32_t Audio_GetType(int32_t index);
float Audio_GetAssetGain(int32_t index);
float Audio_GetAssetPitch(int32_t index);

// Makes the asset's buffer from its bound entry when it plays from memory.
void Audio_PrepareAsset(AudioAsset& asset);
// Length in seconds of a sound index (or a playing voice's sound); -1 when
// the audio system is off or there is no such sound.
float Audio_GetSoundLength(int32_t id);
