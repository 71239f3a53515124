// The two sound chunks both sound systems read: SOND (one 36-byte record per
// sound) and AUDO (the embedded sound files). Every record and entry is
// checked to lie inside its chunk; a damaged one is a DataError naming it.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/game_data.h"

struct SoundRecord {
  std::string name;       // the resource name
  int32_t kind = 0;       // legacy kind 0 to 3, or a storage code 100 to 103
  std::string extension;  // ".wav", ".mp3", ...
  std::string file;       // "click1.wav"
  uint32_t effects = 0;
  float volume = 1.0f;
  float pan = 0.0f;
  uint32_t preload = 0;
  uint32_t audio_index = 0;  // entry number in the AUDO chunk
};

inline constexpr uint32_t kSoundRecordSize = 36;

// The SOND records in slot order; none for an empty slot.
std::vector<std::optional<SoundRecord>> SoundChunk_Read(const ChunkBody& body);

// The AUDO entries in list order, each the bytes of one whole sound file
// (views into the container); empty for an empty slot.
std::vector<std::span<const uint8_t>> AudioChunk_Read(const ChunkBody& body);

// True when `image` is a RIFF WAVE file whose chunks, up to and including
// its "data" chunk, lie inside it, with a "fmt " chunk of at least 16 bytes
// before the data; else false with the reason in `why`. The file reader
// trusts the chunk sizes it finds, so nothing else reaches it.
bool WavImage_IsWhole(std::span<const uint8_t> image, std::string& why);
