#include "audio/sound_chunks.h"

#include <cstring>

namespace {

// True when [at, at + size) lies inside the chunk's body.
bool InsideBody(const ChunkBody& body, uint64_t at, uint64_t size) {
  const uint64_t start = body.Start();
  return at >= start && at + size <= start + body.Length();
}

float Real(const GameDataFile& f, uint32_t at) {
  const uint32_t bits = f.U32(at);
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

}  // namespace

std::vector<std::optional<SoundRecord>> SoundChunk_Read(const ChunkBody& body) {
  const GameDataFile& f = body.File();
  const std::vector<uint32_t> offsets = body.OffsetList();
  std::vector<std::optional<SoundRecord>> records(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    const uint32_t at = offsets[i];
    if (!at) continue;
    try {
      if (!InsideBody(body, at, kSoundRecordSize)) {
        throw DataError("its record at " + GameData_Hex(at) + " does not lie inside the chunk");
      }
      SoundRecord& r = records[i].emplace();
      r.name = f.String(f.U32(at));
      r.kind = f.S32(at + 4);
      r.extension = f.String(f.U32(at + 8));
      r.file = f.String(f.U32(at + 12));
      r.effects = f.U32(at + 16);
      r.volume = Real(f, at + 20);
      r.pan = Real(f, at + 24);
      r.preload = f.U32(at + 28);
      r.audio_index = f.U32(at + 32);
    } catch (const DataError& e) {
      throw DataError(std::string(body.Ref().tag) + " sound " + std::to_string(i) + ": " + e.what());
    }
  }
  return records;
}

std::vector<std::span<const uint8_t>> AudioChunk_Read(const ChunkBody& body) {
  const GameDataFile& f = body.File();
  const std::vector<uint32_t> offsets = body.OffsetList();
  std::vector<std::span<const uint8_t>> entries(offsets.size());
  for (size_t j = 0; j < offsets.size(); ++j) {
    const uint32_t at = offsets[j];
    if (!at) continue;
    const std::string which = std::string(body.Ref().tag) + " entry " + std::to_string(j);
    if (!InsideBody(body, at, 4)) {
      throw DataError(which + ": its length word at " + GameData_Hex(at) + " does not lie inside the chunk");
    }
    const uint32_t length = f.U32(at);
    if (!InsideBody(body, uint64_t(at) + 4, length)) {
      throw DataError(which + ": its " + std::to_string(length) + " bytes run past the end of the chunk");
    }
    entries[j] = f.Bytes(at + 4, length);
  }
  return entries;
}

bool WavImage_IsWhole(std::span<const uint8_t> image, std::string& why) {
  auto u32 = [&](size_t at) {
    return uint32_t(image[at]) | uint32_t(image[at + 1]) << 8 | uint32_t(image[at + 2]) << 16 |
           uint32_t(image[at + 3]) << 24;
  };
  if (image.size() < 12 || std::memcmp(image.data(), "RIFF", 4) != 0 || std::memcmp(image.data() + 8, "WAVE", 4) != 0) {
    why = "not a RIFF WAVE file";
    return false;
  }
  bool format = false;
  for (size_t at = 12; image.size() - at >= 8;) {
    const std::string id(reinterpret_cast<const char*>(image.data() + at), 4);
    const uint32_t length = u32(at + 4);
    if (length > image.size() - at - 8) {
      why = "its \"" + id + "\" chunk runs past the end of the file";
      return false;
    }
    if (id == "fmt ") {
      if (length < 16) {
        why = "its format chunk is too short";
        return false;
      }
      format = true;
    } else if (id == "data") {
      if (!format) break;
      return true;
    }
    // Readers disagree on the pad byte after an odd-sized chunk.
    if (length % 2) {
      why = "its \"" + id + "\" chunk has an odd size";
      return false;
    }
    at += 8 + size_t(length);
  }
  why = format ? "it has no data chunk" : "it has no format chunk before its data";
  return false;
}
