// MP3 files from memory, decoded whole into 16-bit samples for the MCI
// music player.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Longer music is refused rather than held: about 50 minutes of 44.1 kHz
// stereo.
inline constexpr uint64_t kMaxDecodedMp3Bytes = 512u << 20;

struct DecodedMp3 {
  int channels = 0;
  int rate = 0;
  std::vector<uint8_t> samples;  // interleaved native-endian 16-bit
};

// False with the reason in `error` when the bytes hold no MPEG audio frame,
// change format midway, or decode to more than the limit.
bool Mp3_DecodeAll(std::span<const uint8_t> bytes, DecodedMp3& out, std::string& error);
