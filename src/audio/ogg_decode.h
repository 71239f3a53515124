// Ogg Vorbis from memory: the reader the decoder pulls bytes through, and
// the one-shot decoding of a whole stream into 16-bit samples.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A read position over bytes held in memory; positions are 32-bit.
struct OggMemoryReader {
  std::span<const uint8_t> data;
  uint32_t position = 0;

  size_t Read(void* destination, size_t size, size_t count);
  // whence 0 from the start, 1 from here, 2 back from the end; a position
  // outside the data goes to the end and fails.
  int Seek(int64_t offset, int whence);
  long Tell() const { return long(position); }
};

// Decoded streams larger than this are refused: the header's sample count
// is untrusted and no sound of a game comes near it.
inline constexpr uint64_t kMaxDecodedOggBytes = 256u << 20;

struct OggVorbis_File;
// Opens the decoder over the reader, which must outlive it; Tremor's code
// (0 on success).
int Ogg_OpenMemory(OggMemoryReader& reader, OggVorbis_File& file);

// Only mono and stereo streams play, at a rate OpenAL can be given.
inline bool Ogg_Playable(int channels, long rate) {
  return (channels == 1 || channels == 2) && rate > 0 && rate <= INT32_MAX;
}
inline constexpr const char* kOggUnplayableText = "Ogg stream %s has %d channels; only mono and stereo play\n";

struct DecodedOgg {
  int channels = 0;
  int rate = 0;
  std::vector<uint8_t> samples;  // interleaved native-endian 16-bit
};

// Decodes the whole stream; false (after a line in the debug console naming
// `name`) when it cannot be opened, has other than 1 or 2 channels, or is too
// large. A short stream is kept as far as it decoded.
bool Ogg_DecodeAll(std::span<const uint8_t> bytes, const std::string& name, DecodedOgg& out);
