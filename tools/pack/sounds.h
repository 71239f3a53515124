// The sound chunks for containers. SOND: a counted list of record offsets (0
// for an empty slot), then 36-byte records {name, kind, extension, file name,
// effects, volume, pan, preload, AUDO index}. AUDO: a counted list of entry
// offsets, then entries {u32 length L, L bytes of one sound file}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack.h"

namespace twpack {

struct Sound {
  std::string name;
  int32_t kind = 101;     // a storage code 100 to 103, or a legacy kind 0 to 3
  std::string extension;  // ".wav"
  std::string file;       // "goal.wav"
  uint32_t effects = 0;
  float volume = 1.0f;
  float pan = 0.0f;
  uint32_t preload = 1;
  uint32_t audio = 0;     // the AUDO entry
};

struct AudioEntry {
  std::vector<uint8_t> bytes;
  // For bad-input fixtures: a length word to write instead of the size.
  std::optional<uint32_t> length;
};

// Write the bodies of (empty) SOND and AUDO chunks.
void WriteSounds(ChunkBuilder& c, const std::vector<std::optional<Sound>>& sounds);
void WriteAudio(ChunkBuilder& c, const std::vector<std::optional<AudioEntry>>& entries);

}  // namespace twpack
