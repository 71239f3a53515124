// Loading a test container's sounds as the chunk walk does for a game of
// the OpenAL audio system: SOND, then AUDO. False when either is refused.
#pragma once
#include <cstring>

#include "audio/audio.h"
#include "core/game_data.h"

inline bool LoadAudioChunks(const GameDataFile& file) {
  for (const ChunkRef& c : file.Chunks()) {
    ChunkBody body(file, c);
    body.OffsetList();
    if (!std::memcmp(c.tag, "SOND", 4) && !Audio_Load(body)) return false;
    if (!std::memcmp(c.tag, "AUDO", 4) && !Audio_WAVs(body)) return false;
  }
  return true;
}
