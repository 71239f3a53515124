#include "audio/audio_assets.h"

#include "audio/audio.h"
#include "audio/audio_voices.h"
#include "audio/ogg_stream.h"
#include "platform/al.h"
#include "script/console.h"

namespace {
std::vector<std::unique_ptr<AudioAsset>> g_assets;
}  // namespace

AudioAsset::~AudioAsset() {
  if (buffer != 0 && buffer != kDeletedBuffer && al::IsBuffer(buffer)) {
    al::DeleteBuffer(buffer);
    buffer = kDeletedBuffer;
  }
}

void AudioAsset::FillFrom(const SoundRecord& record) {
  name = record.file;
  gain = record.volume;
  pitch = 1.0f;
  audio_index = record.audio_index;
  const int32_t kind = record.kind;
  if (kind < 100) {
    streamed_from_file = compressed = kind != 0;
  } else {
    streamed_from_file = kind == int32_t(AudioStorageKind::kStreamedFile);
    compressed = kind == int32_t(AudioStorageKind::kStreamedFile) || kind == int32_t(AudioStorageKind::kCompressed);
  }
  decompress_at_load = kind == int32_t(AudioStorageKind::kDecompressAtLoad);
}

std::vector<std::unique_ptr<AudioAsset>>& Audio_Assets() { return g_assets; }

void Audio_ClearAssets() { g_assets.clear(); }

bool Audio_Load(const ChunkBody& body) {
  g_DebugConsole->Output("Audio_Load()\n");
  const std::vector<std::optional<SoundRecord>> records = SoundChunk_Read(body);
  g_assets.clear();
  g_assets.resize(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    g_assets[i] = std::make_unique<AudioAsset>();
    g_assets[i]->FillFrom(*records[i]);
  }
  return true;
}

bool Audio_WAVs(const ChunkBody& body) {
  g_DebugConsole->Output("Audio_WAVs()\n");
  const std::vector<std::span<const uint8_t>> entries = AudioChunk_Read(body);
  for (auto& asset : g_assets) {
    // An index past the list, or an empty slot of it, binds nothing: the
    // sound stays silent.
    if (!asset || asset->audio_index >= entries.size() || entries[asset->audio_index].data() == nullptr) continue;
    asset->entry = entries[asset->audio_index];
    asset->bound = true;
  }
  return true;
}

void Audio_PrepareAsset(AudioAsset& a) {
  if (!a.bound || a.streamed_from_file) return;
  if (a.decompress_at_load) {
    a.compressed_data = a.entry;
    a.buffer = DecompressOgg(a);
    return;
  }
  if (a.compressed) {
    a.compressed_data = a.entry;
    return;
  }
  std::string error;
  if (WavImage_IsWhole(a.entry, error)) a.buffer = al::BufferFromFileImage(a.entry, error);
  if (!a.buffer) g_DebugConsole->Output("Sound %s cannot be read: %s\n", a.name.c_str(), error.c_str());
}

void Audio_Prepare() {
  if (!Audio_IsOn()) return;
  for (auto& asset : g_assets)
    if (asset) Audio_PrepareAsset(*asset);
}

AudioAsset* Audio_GetAsset(int32_t index) {
  if (index < 0 || size_t(index) >= g_assets.size()) return nullptr;
  return g_assets[size_t(index)].get();
}

int32_t Audio_FindAsset(std::string_view name) {
  for (size_t i = 0; i < g_assets.size(); ++i) {
    if (!g_assets[i]) continue;
    const std::string& file = g_assets[i]->name;
    if (file.size() > name.size() && file.compare(0, name.size(), name) == 0 && file[name.size()] == '.') {
      return int32_t(i);
    }
  }
  return -1;
}

int32_t Audio_GetType(int32_t index) {
  const AudioAsset* a = Audio_GetAsset(index);
  if (!a) return -1;
  return a->streamed_from_file ? 1 : 0;
}

float Audio_GetAssetGain(int32_t index) {
  const AudioAsset* a = Audio_GetAsset(index);
  return a ? a->gain : 1.0f;
}

float Audio_GetAssetPitch(int32_t index) {
  const AudioAsset* a = Audio_GetAsset(index);
  return a ? a->pitch : 1.0f;
}

float Audio_GetSoundLength(int32_t id) {
  if (!Audio_IsOn()) return -1.0f;
  if (id >= kMusicVoiceId) {  // a voice id: its sound
    const AudioVoice* v = Audio_FindVoice(id);
    if (!v) return -1.0f;
    id = v->sound_index;
  }
  AudioAsset* a = Audio_GetAsset(id);
  if (!a) return -1.0f;
  if (a->length >= 0.0f) return a->length;
  if (a->Streamed()) return a->length = 0.0f;
  if (a->buffer == kDeletedBuffer) return a->length;
  al::BufferInfo info;
  if (!al::GetBufferInfo(a->buffer, info)) return -1.0f;
  // A buffer that reports no frames per second or no bytes per sample has no
  // length to give; dividing by them would fault.
  if (info.channels <= 0 || info.bits < 8 || info.frequency <= 0 || info.size < 0) return -1.0f;
  const uint32_t samples = uint32_t(info.size) / uint32_t(info.channels) / (uint32_t(info.bits) / 8);
  return a->length = float(samples) / float(info.frequency);
}
