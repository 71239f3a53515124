#include "sounds.h"

#include "resources.h"

namespace twpack {

void WriteSounds(ChunkBuilder& c, const std::vector<std::optional<Sound>>& sounds) {
  const std::vector<Label> slots = Slots(c, sounds);
  for (size_t i = 0; i < sounds.size(); ++i) {
    if (!sounds[i]) continue;
    const Sound& s = *sounds[i];
    c.Bind(slots[i]);
    c.StringRef(s.name).S32(s.kind).StringRef(s.extension).StringRef(s.file);
    c.U32(s.effects).F32(s.volume).F32(s.pan).U32(s.preload).U32(s.audio);
  }
}

void WriteAudio(ChunkBuilder& c, const std::vector<std::optional<AudioEntry>>& entries) {
  const std::vector<Label> slots = Slots(c, entries);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i]) continue;
    const AudioEntry& e = *entries[i];
    c.Align(4).Bind(slots[i]);
    c.U32(e.length.value_or(uint32_t(e.bytes.size()))).Bytes(e.bytes.data(), e.bytes.size());
  }
}

}  // namespace twpack
