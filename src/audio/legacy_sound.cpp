#include "audio/legacy_sound.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "audio/audio.h"
#include "audio/mci.h"
#include "core/run_state.h"
#include "core/rooms.h"
#include "files/files.h"
#include "platform/al.h"
#include "script/console.h"
#include "script/errors.h"

namespace {

// The slots outlive the sounds, which give theirs back when they go.
std::vector<SoundSlot> g_slots;
std::vector<std::unique_ptr<CSound>> g_sounds;
std::vector<std::optional<std::string>> g_names;

// The (message, index) pairs of the action library already reported.
std::set<std::pair<int, int32_t>> g_missReported;

bool g_hardwareOn = false;
float g_masterVolume = 1.0f;
std::string g_musicName;  // empty when no music plays
float g_musicVolume = 1.0f;
float g_musicDelta = 0.0f;
int32_t g_musicFrames = 0;
int32_t g_alias = 0;  // the last alias number; 0 before any
bool g_aliasOpen = false;

void Log(const char* format, const std::string& a, const std::string& b) {
  g_DebugConsole->Output(format, a.c_str(), b.c_str());
}

bool Lower_Equals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void PlayMusic(const std::string& musicName, const std::string& name, bool loop);

std::string AliasName() { return "MediaFile" + std::to_string(g_alias); }

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Frames a fade of `ms` takes at the room's speed; at least one.
int32_t FadeFrames(int32_t ms) {
  const int32_t speed = g_Run.room && g_Run.room->speed > 0 ? g_Run.room->speed : 30;
  return std::max(1, ms / std::max(1, 1000 / speed));
}

void MusicVolume(float v) {
  if (!g_aliasOpen) return;
  const int level = int(v * 1000);
  const uint32_t e =
      Mci_SendString("setaudio " + AliasName() + " volume to " + std::to_string(std::clamp(level, 0, 1000)), nullptr);
  if (e) g_DebugConsole->Output("error setting mp3 volume to %g(%d) - %s\n", double(v), level, Mci_ErrorString(e).c_str());
}

bool MusicModeIsPlaying() {
  if (!g_aliasOpen) return false;
  std::string reply;
  const uint32_t e = Mci_SendString("status " + AliasName() + " mode", &reply);
  if (e) g_DebugConsole->Output("error getting mp3 status - %s\n", Mci_ErrorString(e).c_str());
  return Lower_Equals(reply, "playing");
}

SoundSlot* Slot(int32_t slot) { return slot >= 0 && slot < int32_t(g_slots.size()) ? &g_slots[size_t(slot)] : nullptr; }

std::unique_ptr<SoundHardwareSample> Load(std::span<const uint8_t> bytes) {
  if (!g_hardwareOn) return nullptr;
  std::string error;
  const uint32_t buffer = al::BufferFromFileImage(bytes, error);
  if (buffer == 0) {
    g_DebugConsole->Output("ALUT error on load : %s\n", error.c_str());
    return nullptr;
  }
  auto sample = std::make_unique<SoundHardwareSample>();
  sample->buffer = buffer;
  for (uint32_t& source : sample->sources) {
    source = al::NewSource(buffer, error);
    if (source == 0) {
      g_DebugConsole->Output("AL error on load : %s\n", error.c_str());
      return nullptr;  // the sample's destructor gives back what was made
    }
  }
  return sample;
}

}  // namespace

SoundHardwareSample::~SoundHardwareSample() {
  for (uint32_t source : sources) al::DeleteSource(source);
  al::DeleteBuffer(buffer);
}

// ---- CSound ----

void CSound::Clear() {
  FreeSlot();
  extension.clear();
  file_name.clear();
  file_stream.reset();
  kind = -1;
  volume = 1.0;
  pan = 0.0;
  effects = 0;
  preload = true;
  slot = -1;
  audio_entry = {};
  bound = false;
  audio_index = 0;
}

void CSound::LoadFromChunk(const SoundRecord& r) {
  Clear();
  kind = r.kind;
  extension = r.extension;
  file_name = r.file;
  effects = r.effects;
  volume = r.volume;
  pan = r.pan;
  preload = r.preload != 0;
  audio_index = r.audio_index;
}

bool CSound::LoadFromFile(const std::string& path, int32_t newKind, bool newPreload) {
  Clear();
  std::optional<std::vector<uint8_t>> bytes = LoadSave_ReadGameFile(path);
  if (!bytes) return false;
  extension = File_GetExtension(path);
  file_name = File_GetName(path);
  file_stream = std::make_unique<std::vector<uint8_t>>(std::move(*bytes));
  kind = newKind;
  preload = newPreload;
  if (preload) Prepare();
  return true;
}

void CSound::Prepare() {
  if (slot >= 0) return;
  if (kind != 0 && extension.compare(0, 4, ".mp3") == 0) {
    slot = Sound_AllocSlot(kind);
    return;
  }
  if (kind >= 0 && kind <= 2) {
    if (bound) {
      slot = Sound_AllocSlot(kind);
      if (g_slots[size_t(slot)].kind != 1) g_slots[size_t(slot)].sample = Load(audio_entry);
    } else if (file_stream) {
      slot = Sound_AllocSlot(kind);
      g_slots[size_t(slot)].sample = Load(*file_stream);
    }
  } else if (kind == 3) {
    slot = Sound_AllocSlot(kind);
  }
  if (slot >= 0) Sound_SetVolume(slot, volume, 0);
}

int32_t CSound::GetSlot() {
  if (slot < 0) Prepare();
  return slot;
}

void CSound::FreeSlot() {
  Sound_ReleaseSlot(slot);
  slot = -1;
}

// ---- The table ----

void LegacySound_Clear() {
  g_missReported.clear();
  g_sounds.clear();
  g_names.clear();
}

void Sound_InitFromRecords(const std::vector<std::optional<SoundRecord>>& records) {
  g_DebugConsole->Output("Sound_Init()\n");
  LegacySound_Clear();
  g_sounds.resize(records.size());
  g_names.resize(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    g_sounds[i] = std::make_unique<CSound>();
    g_sounds[i]->LoadFromChunk(*records[i]);
    g_names[i] = records[i]->name;
  }
}

void Sound_BindEntries(const std::vector<std::span<const uint8_t>>& entries) {
  g_DebugConsole->Output("Wave_Init()\n");
  for (auto& s : g_sounds) {
    if (!s || s->audio_index >= entries.size()) continue;
    s->audio_entry = entries[s->audio_index];
    s->bound = !s->audio_entry.empty();
  }
}

int32_t Sound_Count() { return int32_t(g_sounds.size()); }

bool Sound_Exists(int32_t index) { return Sound_Get(index) != nullptr; }

CSound* Sound_Get(int32_t index) {
  return index >= 0 && index < int32_t(g_sounds.size()) ? g_sounds[size_t(index)].get() : nullptr;
}

std::string Sound_GetName(int32_t index) {
  if (!Sound_Exists(index)) return "<undefined>";
  return g_names[size_t(index)].value_or(std::string());
}

int32_t Sound_Find(std::string_view name) { return RecordNames_Find(g_names, name); }

int32_t Sound_Add(const std::string& path, int32_t kind, bool preload) {
  auto sound = std::make_unique<CSound>();
  // A file that cannot be read leaves the table as it was.
  if (!sound->LoadFromFile(path, kind, preload)) return -1;
  g_sounds.push_back(std::move(sound));
  g_names.push_back(path);
  return int32_t(g_sounds.size()) - 1;
}

bool Sound_Replace(int32_t index, const std::string& path, int32_t kind, bool preload) {
  if (!Sound_Exists(index)) return false;
  auto sound = std::make_unique<CSound>();
  const bool loaded = sound->LoadFromFile(path, kind, preload);
  g_sounds[size_t(index)] = std::move(sound);
  return loaded;
}

bool Sound_Delete(int32_t index) {
  if (!Sound_Exists(index)) return false;
  g_sounds[size_t(index)].reset();
  g_names[size_t(index)].reset();
  return true;
}

bool Sound_PrepareAll() {
  for (auto& s : g_sounds)
    if (s && s->preload) s->Prepare();
  return true;
}

void LegacySound_FreeAll() {
  LegacySound_Clear();
  g_slots.clear();
}

// ---- Slots ----

int32_t Sound_AllocSlot(int32_t kind) {
  size_t i = 0;
  while (i < g_slots.size() && g_slots[i].in_use) ++i;
  if (i == g_slots.size()) g_slots.emplace_back();
  g_slots[i].in_use = true;
  g_slots[i].kind = kind == 3 ? 1 : kind;
  g_slots[i].sample.reset();
  return int32_t(i);
}

void Sound_ReleaseSlot(int32_t slot) {
  SoundSlot* s = Slot(slot);
  if (!s) return;
  s->sample.reset();
  s->in_use = false;
}

int32_t Sound_SlotCount() { return int32_t(g_slots.size()); }

int32_t Sound_SlotsInUse() {
  return int32_t(std::count_if(g_slots.begin(), g_slots.end(), [](const SoundSlot& s) { return s.in_use; }));
}

const SoundSlot* Sound_GetSlot(int32_t slot) { return Slot(slot); }

// ---- Play control ----

void Sound_Play(const std::string& name, int32_t slot, bool loop) {
  if (EndsWith(name, ".mp3")) {
    SoundHardware_PlayMP3(name, loop);
  } else if (EndsWith(name, ".mid") || EndsWith(name, ".midi")) {
    SoundHardware_PlayMIDI(name, loop);
  } else if (SoundSlot* s = Slot(slot); s && s->sample && g_hardwareOn) {
    SoundHardwareSample& sample = *s->sample;
    const uint32_t source = sample.sources[sample.next];
    sample.next = (sample.next + 1) % 4;
    al::SetSourceGain(source, sample.volume * g_masterVolume);
    al::SetSourceLooping(source, loop);
    al::PlaySource(source);
  }
}

void Sound_Stop(const std::string& name, int32_t slot) {
  if (!g_musicName.empty() && g_musicName == name) {
    SoundHardware_StopMusic();
  } else if (SoundSlot* s = Slot(slot); s && s->sample) {
    for (uint32_t source : s->sample->sources) al::StopSource(source);
  }
}

bool Sound_IsPlaying(const std::string& name, int32_t slot) {
  if (!g_musicName.empty() && g_musicName == name) return g_hardwareOn && MusicModeIsPlaying();
  const SoundSlot* s = Slot(slot);
  if (!s || !s->sample || !g_hardwareOn) return false;
  for (uint32_t source : s->sample->sources)
    if (al::GetSourceState(source) == al::SourceState::kPlaying) return true;
  return false;
}

void Sound_StopAll() {
  for (SoundSlot& s : g_slots)
    if (s.sample)
      for (uint32_t source : s.sample->sources) al::StopSource(source);
  SoundHardware_StopMusic();
}

void Sound_SetVolume(int32_t slot, double volume, int32_t ms) {
  const SoundSlot* s = Slot(slot);
  if (!s || !g_hardwareOn) return;
  const int32_t frames = FadeFrames(ms);
  if (s->kind == 1) {
    g_musicDelta = (float(volume) - g_musicVolume) / float(frames);
    g_musicFrames = frames;
  } else if (s->sample) {
    s->sample->delta = (float(volume) - s->sample->volume) / float(frames);
    s->sample->fade_frames = frames;
  }
}

// ---- For the action library ----

namespace {
CSound* ActionSound(int32_t index, int which, const char* message) {
  CSound* s = Sound_Get(index);
  if (!s && g_missReported.insert({which, index}).second) Error_ReportRuntime(ErrorSeverity::kError, message);
  return s;
}
}  // namespace

bool Sound_ActionPlay(int32_t index, bool loop) {
  CSound* s = ActionSound(index, 0, "Trying to play non-existing sound.");
  if (s) Sound_Play(s->file_name, s->GetSlot(), loop);
  return s != nullptr;
}

bool Sound_ActionStop(int32_t index) {
  CSound* s = ActionSound(index, 1, "Trying to stop non-existing sound.");
  if (s) Sound_Stop(s->file_name, s->slot);
  return s != nullptr;
}

// ---- The player ----

bool SoundHardware_Init() {
  g_hardwareOn = false;
  g_masterVolume = 1.0f;
  g_musicName.clear();
  g_musicVolume = 1.0f;
  g_musicFrames = 0;
  g_alias = 0;
  g_aliasOpen = false;
  g_slots.clear();
  if (g_NoAudio) return false;
  std::string error;
  if (!al::OpenDevice(error)) {
    g_DebugConsole->Output("ALUT Error : %s\n", error.c_str());
    return false;
  }
  g_hardwareOn = true;
  return true;
}

void SoundHardware_QuitLegacy() {
  // Sources and buffers go while their context exists.
  for (SoundSlot& s : g_slots) s.sample.reset();
  Mci_CloseAll();
  g_aliasOpen = false;
  g_musicName.clear();
  g_hardwareOn = false;
}

bool SoundHardware_On() { return g_hardwareOn; }

void SoundHardware_SetMasterVolume(float volume) {
  if (g_hardwareOn) g_masterVolume = volume;
}

float SoundHardware_MasterVolume() { return g_masterVolume; }

void SoundHardware_PlayMP3(const std::string& name, bool loop) { PlayMusic(name, name, loop); }

// The MP3 twin plays; the MIDI name stays the current music name, so that
// stopping the sound by its name stops it.
void SoundHardware_PlayMIDI(const std::string& name, bool loop) {
  PlayMusic(name, File_ChangeExtension(name, ".mp3"), loop);
}

namespace {
void PlayMusic(const std::string& musicName, const std::string& name, bool loop) {
  if (!g_hardwareOn) return;
  if (!g_musicName.empty()) SoundHardware_StopMusic();
  // A file that ended by itself is still open: it goes now.
  if (g_aliasOpen) {
    Mci_SendString("close " + AliasName(), nullptr);
    g_aliasOpen = false;
  }
  g_musicName = musicName;
  ++g_alias;
  const std::string alias = AliasName();
  uint32_t e = Mci_SendString("open \"" + name + "\" type mpegvideo alias " + alias, nullptr);
  if (e) return Log("error opening mp3 file %s - %s\n", name, Mci_ErrorString(e));
  g_aliasOpen = true;
  e = Mci_SendString("set " + alias + " time format milliseconds", nullptr);
  if (e) Log("error opening set file time format for %s - %s\n", name, Mci_ErrorString(e));
  e = Mci_SendString("set " + alias + " seek exactly on", nullptr);
  if (e) Log("error opening set file seek exactly for %s - %s\n", name, Mci_ErrorString(e));
  e = Mci_SendString(loop ? "play " + alias + " repeat" : "play " + alias, nullptr);
  if (e) Log("error playing file for %s - %s\n", name, Mci_ErrorString(e));
  MusicVolume(g_musicVolume);
}
}  // namespace

void SoundHardware_StopMusic() {
  g_musicName.clear();
  if (!g_aliasOpen) return;
  std::string mode;
  Mci_SendString("status " + AliasName() + " mode", &mode);
  if (mode != "playing" && mode != "paused") return;
  const std::string alias = AliasName();
  uint32_t e = Mci_SendString("seek " + alias + " to start", nullptr);
  if (e) g_DebugConsole->Output("error stopping mp3 file seeking - %s\n", Mci_ErrorString(e).c_str());
  e = Mci_SendString("stop " + alias, nullptr);
  if (e) g_DebugConsole->Output("error stopping mp3 - %s\n", Mci_ErrorString(e).c_str());
  e = Mci_SendString("close " + alias, nullptr);
  if (e) g_DebugConsole->Output("error closing mp3 - %s\n", Mci_ErrorString(e).c_str());
  g_aliasOpen = false;
  g_alias = 0;
}

void SoundHardware_PauseMusic(bool pause) {
  // Without an open file the command could only fail, once a call.
  if (!g_hardwareOn || !g_aliasOpen) return;
  const uint32_t e = Mci_SendString((pause ? "pause " : "resume ") + AliasName(), nullptr);
  if (e)
    g_DebugConsole->Output(pause ? "error pausing mp3 file - %s\n" : "error resuming mp3 file - %s\n",
                           Mci_ErrorString(e).c_str());
}

bool SoundHardware_MusicPlaying() { return g_hardwareOn && MusicModeIsPlaying(); }

int32_t SoundHardware_MusicAlias() { return g_aliasOpen ? g_alias : 0; }

void SoundHardware_Tick() {
  if (!g_hardwareOn) return;
  for (SoundSlot& s : g_slots) {
    if (!s.in_use || !s.sample || s.sample->fade_frames <= 0) continue;
    SoundHardwareSample& sample = *s.sample;
    sample.volume = std::clamp(sample.volume + sample.delta, 0.0f, 1.0f);
    --sample.fade_frames;
    for (uint32_t source : sample.sources)
      if (al::GetSourceState(source) == al::SourceState::kPlaying) al::SetSourceGain(source, sample.volume * g_masterVolume);
  }
  if (g_musicFrames > 0) {
    --g_musicFrames;
    g_musicVolume += g_musicDelta;
    MusicVolume(g_musicVolume);
  }
  // Music that came to its end by itself is closed, so its decoded sound
  // does not stay in memory until the next play.
  if (g_aliasOpen && Mci_HasEnded(AliasName())) {
    Mci_SendString("close " + AliasName(), nullptr);
    g_aliasOpen = false;
    g_musicName.clear();
  }
}

