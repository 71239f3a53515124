#include "audio/audio_voices.h"

#include <algorithm>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/legacy_sound.h"
#include "audio/ogg_stream.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "files/files.h"
#include "platform/al.h"
#include "script/console.h"

namespace {

struct MusicRequest {
  bool pending = false;
  int32_t sound = -1;
  int32_t loop = 0;
};

struct VoiceSystem {
  std::vector<uint32_t> sources;  // the last one is the music source
  int32_t channels = 0;
  std::vector<std::unique_ptr<AudioVoice>> voices;  // voice i plays on source i
  std::unique_ptr<AudioVoice> music;
  MusicRequest music_request;
  std::vector<std::unique_ptr<AudioEmitter>> emitters;
  std::unique_ptr<AudioListener> listener;
  int32_t next_id = kFirstPlayedVoiceId;
};
VoiceSystem g_voices;
AudioStreaming g_streaming = OggAudio_Streaming();

// Logs `text` when OpenAL has an error pending; true when it had one.
bool AlFailed(const char* text) {
  if (al::TakeError() == 0) return false;
  g_DebugConsole->Output("%s", text);
  return true;
}

uint32_t Source(int32_t index) {
  if (index < 0 || size_t(index) >= g_voices.sources.size()) return 0;
  return g_voices.sources[size_t(index)];
}

bool HasSource(const AudioVoice& v) { return Source(v.source_index) != 0; }

al::SourceState StateOf(const AudioVoice& v) {
  return HasSource(v) ? al::GetSourceState(Source(v.source_index)) : al::SourceState::kUnknown;
}

AudioAsset* ValidSound(int32_t sound) { return Audio_GetAsset(sound); }

AudioAsset* SoundOrLog(int32_t sound) {
  AudioAsset* a = ValidSound(sound);
  if (!a) g_DebugConsole->Output("Error: no sound exists for soundid %d\n", sound);
  return a;
}

float StepFade(float gain, float& delta, int32_t& frames) {
  if (frames <= 0) return gain;
  --frames;
  return std::clamp(gain + delta, 0.0f, 1.0f);
}

// Every table voice the id names: one voice for a voice id, each voice of
// the sound for a sound index.
template <typename F>
void ForEachNamed(int32_t id, F&& f) {
  if (id < 0) return;
  if (id >= kMusicVoiceId) {
    if (AudioVoice* v = Audio_FindVoice(id)) f(*v);
    return;
  }
  for (auto& v : g_voices.voices)
    if (v->active && v->sound_index == id) f(*v);
}

void Store3(float& a, float& b, float& c, float x, float y, float z) {
  a = x;
  b = y;
  c = z;
}

AudioEmitter* EmitterAt(int32_t id) {
  if (!Audio_IsOn() || id < 0 || size_t(id) >= g_voices.emitters.size()) return nullptr;
  AudioEmitter* e = g_voices.emitters[size_t(id)].get();
  return e && e->in_use ? e : nullptr;
}

AudioVoice* AllocVoice(float priority, const AudioAsset& asset) {
  const bool streamed = asset.Streamed();
  auto& table = g_voices.voices;
  for (auto& v : table) {
    if (!v->active) return v.get();
    if (!v->streamed) {
      const al::SourceState s = StateOf(*v);
      if (s == al::SourceState::kStopped || s == al::SourceState::kInitial) {
        v->Release();
        return v.get();
      }
    } else if (v->stop_requested && streamed) {
      if (v->emitter) v->emitter->Detach(v.get());
      return v.get();
    }
  }
  if (int32_t(table.size()) < g_voices.channels - 1) {
    auto v = std::make_unique<AudioVoice>();
    v->source_index = int32_t(table.size());
    table.push_back(std::move(v));
    return table.back().get();
  }
  AudioVoice* victim = nullptr;
  float lowest = priority;
  for (auto& v : table) {
    if (v->streamed && !streamed) continue;
    if (v->priority < lowest) {
      lowest = v->priority;
      victim = v.get();
    }
  }
  if (victim) {
    victim->Stop();
    // A stolen streamed voice stays active until its stream stops; it must
    // not stay on its emitter, which would move the new sound.
    if (victim->emitter) victim->emitter->Detach(victim);
  }
  return victim;
}

bool StartVoice(AudioAsset& asset, AudioVoice& v) {
  const uint32_t source = Source(v.source_index);
  bool started = false;
  if (!asset.Streamed()) {
    if (asset.buffer != 0 && asset.buffer != kDeletedBuffer && source != 0) {
      al::SetSourceBuffer(source, asset.buffer);
      if (!AlFailed("Error setting sample buffer\n")) {
        al::SetSourceLooping(source, v.loop);
        al::PlaySource(source);
        started = true;
      }
    }
  } else if (g_streaming.play && source != 0) {
    if (asset.streamed_from_file && asset.resolved_path.empty()) {
      const std::string mapped = LoadSave_MapToBundle(asset.name);
      if (!mapped.empty() && mapped.size() < 1024 && LoadSave_BundleFileExists(asset.name))
        asset.resolved_path = mapped;
    }
    started = g_streaming.play(v.source_index, asset, v.loop);
  }
  if (started) {
    v.stop_requested = false;
    v.streamed = asset.Streamed();
    v.active = true;
  }
  return started;
}

// The steps every play shares once a voice is had; the voice's id, or -1
// when the sound did not start.
template <typename SetUp>
int32_t PlayOnVoice(AudioVoice& v, AudioAsset& asset, int32_t sound, int32_t loop, float priority, SetUp&& set_up) {
  v.voice_id = g_voices.next_id++;
  v.sound_index = sound;
  v.loop = loop > 0;
  v.priority = priority;
  v.gain = 1.0f;
  v.gain_delta = 0.0f;
  v.fade_frames = 0;
  set_up(Source(v.source_index));
  return StartVoice(asset, v) ? v.voice_id : -1;
}

void SetSourceFalloff(uint32_t source, float reference, float max, float factor) {
  al::SetSourceFloat(source, al::SourceFloat::kMaxDistance, max);
  al::SetSourceFloat(source, al::SourceFloat::kReferenceDistance, reference);
  al::SetSourceFloat(source, al::SourceFloat::kRolloffFactor, factor);
}

// Stops every voice and the music and lets go of the sources, the music
// voice and the emitters' voice lists.
void TearDownSources() {
  for (auto& v : g_voices.voices) v->Stop();
  g_voices.music_request = {};
  if (g_voices.music) g_voices.music->Stop();
  if (g_streaming.shutdown) g_streaming.shutdown();
  for (auto& e : g_voices.emitters)
    if (e) e->voices.clear();
  for (uint32_t s : g_voices.sources) al::SetSourceBuffer(s, 0);
  al::DeleteSources(g_voices.sources);
  g_voices.channels = 0;
  g_voices.music.reset();
}

}  // namespace

AudioStreaming& Audio_Streaming() { return g_streaming; }

// ---- voices ----

void AudioVoice::Release() {
  active = false;
  stop_requested = false;
  if (emitter) emitter->Detach(this);
}

void AudioVoice::Stop() {
  if (!active) return;
  stop_requested = true;
  if (streamed) {
    if (g_streaming.stop) g_streaming.stop(source_index);
    return;
  }
  if (HasSource(*this)) {
    al::StopSource(Source(source_index));
    const int code = al::TakeError();
    if (code) g_DebugConsole->Output("Error stopping sound %d error code %d\n", sound_index, code);
  }
  Release();
}

void AudioVoice::Pause() {
  if (!active || !ValidSound(sound_index)) return;
  if (streamed) {
    if (g_streaming.pause) g_streaming.pause(source_index);
    return;
  }
  if (StateOf(*this) != al::SourceState::kPlaying) return;
  al::PauseSource(Source(source_index));
  const int code = al::TakeError();
  if (code) g_DebugConsole->Output("Error pausing sound %d error code %d\n", sound_index, code);
}

void AudioVoice::Resume() {
  if (!active || !ValidSound(sound_index)) return;
  if (streamed) {
    if (g_streaming.resume) g_streaming.resume(source_index);
    return;
  }
  if (StateOf(*this) != al::SourceState::kPaused) return;
  al::PlaySource(Source(source_index));
  const int code = al::TakeError();
  if (code) g_DebugConsole->Output("Error resuming sound %d error code %d\n", sound_index, code);
}

bool AudioVoice::IsPlaying() const {
  if (!active) return false;
  if (streamed) return true;
  const al::SourceState s = StateOf(*this);
  return s == al::SourceState::kPlaying || s == al::SourceState::kPaused;
}

bool AudioVoice::IsPaused() const { return active && StateOf(*this) == al::SourceState::kPaused; }

void AudioVoice::SetGainFade(float target, int32_t ms) {
  if (ms <= 0) {
    gain = target;
    gain_delta = 0.0f;
    fade_frames = 0;
    return;
  }
  const int32_t frames = Audio_FadeFrames(ms);
  gain_delta = (target - gain) / float(frames);
  fade_frames = frames;
}

int32_t Audio_FadeFrames(int32_t ms) {
  const int32_t speed = std::max(1, g_Run.room ? g_Run.room->speed : 30);
  const int32_t per_frame = std::max(1, 1000 / speed);
  return std::max(1, ms / per_frame);
}

// ---- emitters ----

void AudioEmitter::Attach(AudioVoice* voice) {
  voice->emitter = this;
  for (AudioVoice*& slot : voices) {
    if (!slot || !slot->active) {
      slot = voice;
      return;
    }
  }
  voices.push_back(voice);
}

void AudioEmitter::Detach(AudioVoice* voice) {
  for (AudioVoice*& slot : voices)
    if (slot == voice) slot = nullptr;
  voice->emitter = nullptr;
}

// ---- start-up and shutdown ----

void Audio_CheckError(const char* tag) {
  const int code = al::TakeError();
  if (!code) return;
  if (tag)
    g_DebugConsole->Output("OpenAL error: %d (%s)\n", code, tag);
  else
    g_DebugConsole->Output("OpenAL error: %d\n", code);
}

void Audio_CreateSources(int32_t n) {
  g_voices.channels = 0;
  g_voices.music_request = {};
  g_voices.music = std::make_unique<AudioVoice>();
  g_voices.music->voice_id = kMusicVoiceId;
  g_voices.music->priority = 0.0f;
  if (!al::GenSources(n, g_voices.sources)) {
    // No voice can be had; plays answer -1.
    g_DebugConsole->Output("Error creating audio sources %d\n", n);
    return;
  }
  g_voices.channels = n;
  const uint32_t music = g_voices.sources.back();
  al::SetSourceRelative(music, true);
  al::SetSourceVector(music, al::Vector3::kPosition, 0, 0, 0);
  al::SetSourceVector(music, al::Vector3::kVelocity, 0, 0, 0);
  al::SetSourceFloat(music, al::SourceFloat::kGain, 1.0f);
  g_voices.music->source_index = n - 1;
  if (g_streaming.init) g_streaming.init(4, n, n - 1);
  Audio_CheckError("Audio_CreateSources");
}

void Audio_Init() {
  if (!Audio_IsOn()) return;
  if (!g_voices.listener) g_voices.listener = std::make_unique<AudioListener>();
  Audio_CreateSources(kDefaultChannels);
  al::SetDistanceModel(1);
  const AudioListener& l = *g_voices.listener;
  al::SetListenerVector(al::Vector3::kPosition, l.x, l.y, l.z);
  al::SetListenerVector(al::Vector3::kVelocity, l.vx, l.vy, l.vz);
  al::SetListenerOrientation(l.orientation);
  Audio_CheckError("Audio_Init");
}

void Audio_Quit() {
  if (Audio_IsOn()) TearDownSources();
  g_voices.voices.clear();
  g_voices.emitters.clear();
  g_voices.listener.reset();
  g_voices.music.reset();
  g_voices.music_request = {};
  g_voices.channels = 0;
  // Ids keep counting for the whole process.
}

void Audio_SetChannelCount(int32_t n) {
  if (!Audio_IsOn()) return;
  n = std::clamp(n, 2, kMaxChannels);
  if (n == g_voices.channels) return;
  g_DebugConsole->Output("Audio setting channel count to %d\n", n);
  TearDownSources();
  g_voices.voices.clear();
  Audio_CreateSources(n);
}

int32_t Audio_ChannelCount() { return Audio_IsOn() ? g_voices.channels : 0; }

// ---- playing ----

int32_t Audio_PlaySound(int32_t sound, float priority, int32_t loop) {
  if (!Audio_IsOn()) return -1;
  AudioAsset* asset = SoundOrLog(sound);
  if (!asset) return -1;
  AudioVoice* v = AllocVoice(priority, *asset);
  if (!v) return -1;
  AlFailed("Error before playing sample\n");
  const int32_t id = PlayOnVoice(*v, *asset, sound, loop, priority, [&](uint32_t s) {
    al::SetSourceFloat(s, al::SourceFloat::kMaxDistance, 100000.0f);
    al::SetSourceFloat(s, al::SourceFloat::kGain, asset->gain);
    al::SetSourceFloat(s, al::SourceFloat::kPitch, asset->pitch);
    al::SetSourceRelative(s, true);
    al::SetSourceVector(s, al::Vector3::kPosition, 0, 0, 0);
    al::SetSourceVector(s, al::Vector3::kVelocity, 0, 0, 0);
  });
  AlFailed("Error playing simple sound\n");
  return id;
}

int32_t Audio_PlaySoundAt(int32_t sound, float x, float y, float z, float falloff_reference, float falloff_max,
                          float falloff_factor, int32_t loop, float priority) {
  if (!Audio_IsOn()) return -1;
  AudioAsset* asset = SoundOrLog(sound);
  if (!asset) return -1;
  AudioVoice* v = AllocVoice(priority, *asset);
  if (!v) return -1;
  AlFailed("Error prior to playing sample\n");
  const int32_t id = PlayOnVoice(*v, *asset, sound, loop, priority, [&](uint32_t s) {
    al::SetSourceRelative(s, false);
    al::SetSourceFloat(s, al::SourceFloat::kGain, asset->gain);
    al::SetSourceFloat(s, al::SourceFloat::kPitch, asset->pitch);
    SetSourceFalloff(s, falloff_reference, falloff_max, falloff_factor);
    al::SetSourceVector(s, al::Vector3::kPosition, x, y, z);
    al::SetSourceVector(s, al::Vector3::kVelocity, 0, 0, 0);
  });
  AlFailed("Error playing sample\n");
  AlFailed("Error updating sample position\n");
  return id;
}

int32_t Audio_PlaySoundOn(int32_t emitter_id, int32_t sound, int32_t loop, float priority) {
  if (!Audio_IsOn()) return -1;
  AlFailed("Error prior to playing sample 2\n");
  if (emitter_id < 0 || size_t(emitter_id) >= g_voices.emitters.size()) return -1;
  AudioEmitter* e = g_voices.emitters[size_t(emitter_id)].get();
  if (!e || !e->in_use) {
    g_DebugConsole->Output("Audio_PlaySound Attempting to play sound on inactive emitter %d\n", emitter_id);
    return -1;
  }
  AudioAsset* asset = SoundOrLog(sound);
  if (!asset) return -1;
  AudioVoice* v = AllocVoice(priority, *asset);
  if (!v) return -1;
  e->Attach(v);
  AlFailed("Error prior to playing sample\n");
  const int32_t id = PlayOnVoice(*v, *asset, sound, loop, priority, [&](uint32_t s) {
    al::SetSourceRelative(s, false);
    al::SetSourceFloat(s, al::SourceFloat::kGain, e->gain * asset->gain);
    al::SetSourceFloat(s, al::SourceFloat::kPitch, asset->pitch * e->pitch);
    SetSourceFalloff(s, e->falloff_reference, e->falloff_max, e->falloff_factor);
    al::SetSourceVector(s, al::Vector3::kPosition, e->x, e->y, e->z);
    al::SetSourceVector(s, al::Vector3::kVelocity, e->vx, e->vy, e->vz);
  });
  // A voice that did not start must not stay on the emitter's list.
  if (id < 0 && v->emitter) v->emitter->Detach(v);
  AlFailed("Error playing sample\n");
  return id;
}

void Audio_PlayMusic(int32_t sound, int32_t loop) {
  if (!Audio_IsOn() || !g_voices.music) return;
  AudioAsset* asset = SoundOrLog(sound);
  if (!asset) return;
  AudioVoice& m = *g_voices.music;
  m.Stop();
  if (m.active && !asset->Streamed()) {
    g_voices.music_request = {true, sound, loop};
    return;
  }
  m.loop = loop > 0;
  m.sound_index = sound;
  m.priority = 0.0f;
  const uint32_t s = Source(m.source_index);
  al::SetSourceFloat(s, al::SourceFloat::kGain, m.gain * asset->gain);
  al::SetSourceFloat(s, al::SourceFloat::kPitch, asset->pitch);
  StartVoice(*asset, m);
}

// ---- control ----

AudioVoice* Audio_FindVoice(int32_t id) {
  for (auto& v : g_voices.voices)
    if (v->active && v->voice_id == id) return v.get();
  return nullptr;
}

AudioVoice* Audio_MusicVoice() { return Audio_IsOn() ? g_voices.music.get() : nullptr; }

uint32_t Audio_SourceOf(const AudioVoice& voice) { return Source(voice.source_index); }

uint32_t Audio_SourceAt(int32_t index) { return Source(index); }

void Audio_StopSound(int32_t id) {
  if (Audio_IsOn()) ForEachNamed(id, [](AudioVoice& v) { v.Stop(); });
}

void Audio_PauseSound(int32_t id) {
  if (Audio_IsOn()) ForEachNamed(id, [](AudioVoice& v) { v.Pause(); });
}

void Audio_ResumeSound(int32_t id) {
  if (Audio_IsOn()) ForEachNamed(id, [](AudioVoice& v) { v.Resume(); });
}

bool Audio_IsPlaying(int32_t id) {
  if (!Audio_IsOn()) return false;
  bool playing = false;
  ForEachNamed(id, [&](AudioVoice& v) { playing = playing || v.IsPlaying(); });
  if (!playing && id >= 0 && id < kMusicVoiceId && g_voices.music && g_voices.music->sound_index == id)
    playing = g_voices.music->IsPlaying();
  return playing;
}

bool Audio_IsPaused(int32_t id) {
  if (!Audio_IsOn()) return false;
  bool paused = false;
  ForEachNamed(id, [&](AudioVoice& v) { paused = paused || v.IsPaused(); });
  if (!paused && id >= 0 && id < kMusicVoiceId && g_voices.music && g_voices.music->sound_index == id)
    paused = g_voices.music->IsPaused();
  return paused;
}

bool Audio_Exists(int32_t id) {
  if (!Audio_IsOn()) return false;
  if (id >= kMusicVoiceId) {
    const AudioVoice* v = Audio_FindVoice(id);
    return v && v->IsPlaying();
  }
  return ValidSound(id) != nullptr;
}

void Audio_SetGain(int32_t id, float gain, int32_t ms) {
  if (!Audio_IsOn() || id < 0) return;
  if (id >= kMusicVoiceId) {
    if (AudioVoice* v = Audio_FindVoice(id)) v->SetGainFade(gain, ms);
    return;
  }
  AudioAsset* a = ValidSound(id);
  if (!a) return;
  if (ms <= 0) {
    a->gain = gain;
    a->gain_delta = 0.0f;
    a->fade_frames = 0;
    return;
  }
  a->fade_frames = Audio_FadeFrames(ms);
  a->gain_delta = (gain - a->gain) / float(a->fade_frames);
}

void Audio_SetPitch(int32_t id, float pitch) {
  if (!Audio_IsOn() || id < 0) return;
  if (id >= kMusicVoiceId) {
    if (AudioVoice* v = Audio_FindVoice(id); v && HasSource(*v))
      al::SetSourceFloat(Source(v->source_index), al::SourceFloat::kPitch, pitch);
    return;
  }
  if (AudioAsset* a = ValidSound(id)) a->pitch = pitch;
}

void Audio_StopAll() {
  if (!Audio_IsOn()) return;
  for (auto& v : g_voices.voices) v->Stop();
}

void Audio_PauseAll() {
  if (!Audio_IsOn()) return;
  for (auto& v : g_voices.voices)
    if (v->active) v->Pause();
}

void Audio_ResumeAll() {
  if (!Audio_IsOn()) return;
  for (auto& v : g_voices.voices)
    if (v->active) v->Resume();
}

// ---- music ----

void Audio_StopMusic() {
  if (!Audio_IsOn() || !g_voices.music) return;
  g_voices.music_request = {};
  g_voices.music->Stop();
}

void Audio_PauseMusic() {
  if (Audio_IsOn() && g_voices.music) g_voices.music->Pause();
}

void Audio_ResumeMusic() {
  if (Audio_IsOn() && g_voices.music) g_voices.music->Resume();
}

bool Audio_MusicIsPlaying() { return Audio_IsOn() && g_voices.music && g_voices.music->IsPlaying(); }

void Audio_SetMusicGain(float gain, int32_t ms) {
  if (Audio_IsOn() && g_voices.music) g_voices.music->SetGainFade(gain, ms);
}

void Audio_SetMasterGain(float gain) {
  if (Audio_IsOn()) al::SetListenerGain(std::max(0.0f, gain));
}

void Audio_SetFalloffModel(int32_t model) {
  if (!Audio_IsOn()) return;
  if (!al::SetDistanceModel(model)) g_DebugConsole->Output("Attempting to set audio falloff to unknown model\n");
}

int32_t Audio_IsNewSystem() { return Audio_IsOn() ? 1 : 0; }

// ---- emitters ----

int32_t Audio_CreateEmitter() {
  if (!Audio_IsOn()) return -1;
  auto& table = g_voices.emitters;
  for (size_t i = 0; i < table.size(); ++i) {
    if (!table[i]) table[i] = std::make_unique<AudioEmitter>();
    if (!table[i]->in_use) {
      table[i]->in_use = true;
      return int32_t(i);
    }
  }
  const size_t first = table.size();
  table.resize(first + 8);
  table[first] = std::make_unique<AudioEmitter>();
  table[first]->in_use = true;
  return int32_t(first);
}

void Audio_FreeEmitter(int32_t id) {
  AudioEmitter* e = EmitterAt(id);
  if (!e) return;
  // Copies: stopping detaches voices from the list being walked.
  const std::vector<AudioVoice*> attached = e->voices;
  for (AudioVoice* v : attached)
    if (v && v->active && HasSource(*v)) Audio_StopSound(v->voice_id);
  // Streamed voices still stopping let go too: the slot may be reused for a
  // new emitter before they are free.
  for (AudioVoice* v : e->voices)
    if (v) v->emitter = nullptr;
  e->voices.clear();
  e->in_use = false;
}

bool Audio_EmitterExists(int32_t id) { return EmitterAt(id) != nullptr; }

void Audio_SetEmitterPosition(int32_t id, float x, float y, float z) {
  if (AudioEmitter* e = EmitterAt(id)) Store3(e->x, e->y, e->z, x, y, z);
}

void Audio_SetEmitterVelocity(int32_t id, float x, float y, float z) {
  if (AudioEmitter* e = EmitterAt(id)) Store3(e->vx, e->vy, e->vz, x, y, z);
}

void Audio_SetEmitterFalloff(int32_t id, float reference, float max, float factor) {
  AudioEmitter* e = EmitterAt(id);
  if (!e) return;
  e->falloff_reference = reference;
  e->falloff_max = max;
  e->falloff_factor = factor;
  for (AudioVoice* v : e->voices) {
    if (!v || !v->IsPlaying()) continue;
    SetSourceFalloff(Source(v->source_index), reference, max, factor);
    AlFailed("Error updating emitter\n");
  }
}

void Audio_SetEmitterGain(int32_t id, float gain) {
  AudioEmitter* e = EmitterAt(id);
  if (e && gain >= 0) e->gain = gain;
}

void Audio_SetEmitterPitch(int32_t id, float pitch) {
  AudioEmitter* e = EmitterAt(id);
  if (!e || pitch < 0) return;
  e->pitch = pitch;
  for (AudioVoice* v : e->voices)
    if (v && v->active && HasSource(*v))
      al::SetSourceFloat(Source(v->source_index), al::SourceFloat::kPitch, Audio_GetAssetPitch(v->sound_index) * pitch);
}

// ---- listener ----

void Audio_SetListenerPosition(float x, float y, float z) {
  if (AudioListener* l = g_voices.listener.get()) Store3(l->x, l->y, l->z, x, y, z);
}

void Audio_SetListenerVelocity(float x, float y, float z) {
  if (AudioListener* l = g_voices.listener.get()) Store3(l->vx, l->vy, l->vz, x, y, z);
}

void Audio_SetListenerOrientation(float at_x, float at_y, float at_z, float up_x, float up_y, float up_z) {
  if (AudioListener* l = g_voices.listener.get()) {
    const float values[6] = {at_x, at_y, at_z, up_x, up_y, up_z};
    std::copy(values, values + 6, l->orientation);
  }
}

// ---- the frame update ----

void Audio_Tick() {
  // The legacy player's update runs in both systems.
  SoundHardware_Tick();
  if (!Audio_IsOn()) return;
  if (const AudioListener* l = g_voices.listener.get(); l && al::HasCurrentContext()) {
    al::SetListenerVector(al::Vector3::kPosition, l->x, l->y, l->z);
    if (int code = al::TakeError()) g_DebugConsole->Output("Error setting listener position %d\n", code);
    al::SetListenerVector(al::Vector3::kVelocity, l->vx, l->vy, l->vz);
    if (int code = al::TakeError()) g_DebugConsole->Output("Error setting listener velocity %d\n", code);
    al::SetListenerOrientation(l->orientation);
    if (int code = al::TakeError()) g_DebugConsole->Output("Error setting listener orientation %d\n", code);
  }
  Audio_CheckError("Audio_Tick Start");
  if (g_streaming.update && g_voices.music) g_streaming.update(g_voices.voices, *g_voices.music);

  if (g_voices.music_request.pending && g_voices.music && !g_voices.music->active) {
    const MusicRequest request = g_voices.music_request;
    g_voices.music_request = {};
    Audio_PlayMusic(request.sound, request.loop);
  }

  for (auto& a : Audio_Assets())
    if (a && a->fade_frames > 0) a->gain = StepFade(a->gain, a->gain_delta, a->fade_frames);

  auto update_voice = [](AudioVoice& v) {
    if (v.fade_frames > 0) v.gain = StepFade(v.gain, v.gain_delta, v.fade_frames);
    if (!v.active || !HasSource(v)) return;
    const AudioAsset* a = ValidSound(v.sound_index);
    float gain = v.gain * (a ? a->gain : 1.0f);
    if (v.emitter) gain *= v.emitter->gain;
    al::SetSourceFloat(Source(v.source_index), al::SourceFloat::kGain, gain);
  };
  for (auto& v : g_voices.voices) update_voice(*v);
  if (g_voices.music) update_voice(*g_voices.music);

  for (auto& e : g_voices.emitters) {
    if (!e || !e->in_use) continue;
    for (AudioVoice*& slot : e->voices) {
      if (!slot) continue;
      if (slot->IsPlaying()) {
        const uint32_t s = Source(slot->source_index);
        al::SetSourceVector(s, al::Vector3::kPosition, e->x, e->y, e->z);
        al::SetSourceVector(s, al::Vector3::kVelocity, e->vx, e->vy, e->vz);
        AlFailed("Error updating emitter\n");
      } else {
        slot->active = false;
        slot->stop_requested = false;
        slot->emitter = nullptr;
        slot = nullptr;
      }
    }
  }
  Audio_CheckError("Audio_Tick End");
}
