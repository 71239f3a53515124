// Feeds arbitrary containers to both sound systems' readers of the SOND and
// AUDO chunks, then queries every asset, checks every bound WAV image and
// decodes every bound Ogg entry, whole and through a streaming channel's fill
// path (nothing reaches an audio device). An input that is itself an Ogg
// stream goes straight to both decoders.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/ogg_decode.h"
#include "audio/ogg_stream.h"
#include "core/game_data.h"
#include "runner/startup.h"
#include "script/vm.h"

namespace {

// Plays the bytes through a streaming channel's fill, once straight and once
// looping; a stream that never ends stops after a few buffers.
void Stream(std::span<const uint8_t> bytes) {
  AudioAsset asset;
  asset.name = "input";
  asset.compressed = true;
  asset.compressed_data = bytes;
  static std::vector<uint8_t> buffer(kOggBufferBytes);
  for (bool loop : {false, true}) {
    SOggChannel channel;
    if (!OggChannel_Open(channel, asset)) return;
    for (int fills = 0; fills < 8; ++fills)
      if (OggChannel_Decode(channel, loop, buffer.data(), buffer.size()) == 0) break;
    OggChannel_Close(channel);
  }
}

void Exercise() {
  const int32_t count = int32_t(Audio_Assets().size());
  for (int32_t i = -1; i <= count; ++i) {
    Audio_GetType(i);
    Audio_GetAssetGain(i);
    Audio_GetAssetPitch(i);
    Audio_GetSoundLength(i);
    const AudioAsset* a = Audio_GetAsset(i);
    if (!a) continue;
    Audio_FindAsset(a->name.substr(0, a->name.find('.')));
    std::string why;
    if (a->bound) WavImage_IsWhole(a->entry, why);
    if (a->bound && a->entry.size() >= 4 && !std::memcmp(a->entry.data(), "OggS", 4)) {
      DecodedOgg pcm;
      Ogg_DecodeAll(a->entry, a->name, pcm);
      Stream(a->entry);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  if (size >= 4 && !std::memcmp(data, "OggS", 4)) {
    DecodedOgg pcm;
    Ogg_DecodeAll({data, size}, "input", pcm);
    Stream({data, size});
    return 0;
  }
  Sound_Clear();
  GameDataFile file(std::vector<uint8_t>(data, data + size));
  for (auto load : {&Sound_Init, &Audio_Load}) {
    for (auto waves : {&Wave_Init, &Audio_WAVs}) {
      try {
        for (const ChunkRef& c : file.Chunks()) {
          ChunkBody body(file, c);
          if (!std::memcmp(c.tag, "SOND", 4)) load(body);
          if (!std::memcmp(c.tag, "AUDO", 4)) waves(body);
        }
      } catch (const DataError&) {
        // Refusing damaged data is the expected outcome; whatever was read
        // is still worked below.
      }
      Exercise();
    }
  }
  Sound_Clear();
  return 0;
}
