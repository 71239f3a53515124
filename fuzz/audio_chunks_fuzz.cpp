// Feeds arbitrary containers to both sound systems' readers of the SOND and
// AUDO chunks, then queries every asset, checks every bound WAV image and
// decodes every bound Ogg entry (nothing reaches an audio device). An input
// that is itself an Ogg stream goes straight to the decoder.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/ogg_decode.h"
#include "core/game_data.h"
#include "runner/startup.h"
#include "script/vm.h"

namespace {

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
