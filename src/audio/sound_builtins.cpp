// The legacy sound built-ins. While the OpenAL audio system is on, or with
// "-noaudio", the sound_ built-ins do nothing at all, except the three 3D
// ones that take a slot in both systems.
#include <cstdlib>
#include <string>

#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/legacy_sound.h"
#include "audio/mci.h"
#include "audio/sound_group.h"
#include "core/options.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

const BuiltinGroupName kSoundGroup[] = {
    {"sound_play", 1},
    {"sound_loop", 1},
    {"sound_stop", 1},
    {"sound_stop_all", 0},
    {"sound_isplaying", 1},
    {"sound_volume", 2},
    {"sound_fade", 3},
    {"sound_pan", 2},
    {"sound_background_tempo", 1},
    {"sound_global_volume", 1},
    {"sound_set_search_directory", 1},
    {"sound_effect_set", 2},
    {"sound_effect_chorus", 8},
    {"sound_effect_compressor", 7},
    {"sound_effect_echo", 6},
    {"sound_effect_flanger", 8},
    {"sound_effect_gargle", 3},
    {"sound_effect_equalizer", 4},
    {"sound_effect_reverb", 5},
    {"sound_3d_set_sound_position", 4},
    {"sound_3d_set_sound_velocity", 4},
    {"sound_3d_set_sound_distance", 3},
    {"sound_3d_set_sound_cone", 7},
    {"cd_init", 0},
    {"cd_present", 0},
    {"cd_number", 0},
    {"cd_playing", 0},
    {"cd_paused", 0},
    {"cd_track", 0},
    {"cd_length", 0},
    {"cd_track_length", 1},
    {"cd_position", 0},
    {"cd_track_position", 0},
    {"cd_play", 2},
    {"cd_stop", 0},
    {"cd_pause", 0},
    {"cd_resume", 0},
    {"cd_set_position", 1},
    {"cd_set_track_position", 1},
    {"cd_open_door", 0},
    {"cd_close_door", 0},
    {"MCI_command", 1},
    {"audio_listener_position", 3},
    {"audio_listener_velocity", 3},
    {"audio_listener_orientation", 6},
    {"audio_emitter_position", 4},
    {"audio_emitter_velocity", 4},
    {"audio_system", 0},
    {"audio_emitter_create", 0},
    {"audio_emitter_free", 1},
    // Any count compiles: the built-in itself reports a wrong one.
    {"audio_play_sound", -1},
    {"audio_play_sound_on", 4},
    {"audio_play_sound_at", 9},
    {"audio_falloff_set_model", 1},
    {"audio_stop_sound", 1},
    {"audio_pause_sound", 1},
    {"audio_resume_sound", 1},
    {"audio_pause_all", 0},
    {"audio_resume_all", 0},
    {"audio_is_playing", 1},
    {"audio_is_paused", 1},
    {"audio_exists", 1},
    {"audio_master_gain", 1},
    {"audio_emitter_exists", 1},
    {"audio_get_type", 1},
    {"audio_emitter_gain", 2},
    {"audio_emitter_pitch", 2},
    {"audio_emitter_falloff", 4},
    {"audio_channel_num", 1},
    {"audio_play_music", 2},
    {"audio_stop_music", 0},
    {"audio_pause_music", 0},
    {"audio_resume_music", 0},
    {"audio_music_is_playing", 0},
    {"audio_music_gain", 2},
    {"audio_sound_gain", 3},
    {"audio_sound_pitch", 2},
    {"audio_stop_all", 0},
    {"audio_sound_length", 1},
};

// A new family joins here and in sound_group.h.
const BuiltinFamily kFamilies[] = {
    Audio_LegacySoundBuiltins,
    Audio_CdBuiltins,
    Audio_AudioBuiltins,
};

// The legacy system is in charge: the game did not choose the OpenAL one and
// "-noaudio" is not given.
bool LegacyActive() { return !Options_Get().new_audio && !g_NoAudio; }

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }

// The named sound, or null after "Sound does not exist.".
CSound* SoundArg(int argc, const ScriptValue* args) {
  CSound* s = Sound_Get(RoundedArg(argc, args, 0));
  if (!s) Report("Sound does not exist.");
  return s;
}

void PlayOrLoop(int argc, const ScriptValue* args, bool loop) {
  if (!LegacyActive()) return;
  if (CSound* s = SoundArg(argc, args)) {
    const int32_t slot = s->GetSlot();
    Sound_Play(s->file_name, slot, loop);
    Sound_SetVolume(slot, s->volume, 1);
  }
}

TW_BUILTIN(F_SoundPlay) { PlayOrLoop(argc, args, false); }
TW_BUILTIN(F_SoundLoop) { PlayOrLoop(argc, args, true); }
TW_BUILTIN(F_SoundStop) {
  if (!LegacyActive()) return;
  if (CSound* s = SoundArg(argc, args)) Sound_Stop(s->file_name, s->slot);
}
TW_BUILTIN(F_SoundStopAll) {
  if (LegacyActive()) Sound_StopAll();
}
TW_BUILTIN(F_SoundIsPlaying) {
  if (!LegacyActive()) return;
  CSound* s = Sound_Get(RoundedArg(argc, args, 0));
  Return(result, s && Sound_IsPlaying(s->file_name, s->slot) ? 1 : 0);
}
TW_BUILTIN(F_SoundVolume) {
  if (!LegacyActive()) return;
  if (CSound* s = SoundArg(argc, args)) {
    s->volume = Arg(argc, args, 1);
    Sound_SetVolume(s->slot, s->volume, 1);
  }
}
TW_BUILTIN(F_SoundFade) {
  if (!LegacyActive()) return;
  if (CSound* s = SoundArg(argc, args)) Sound_SetVolume(s->slot, Arg(argc, args, 1), RoundedArg(argc, args, 2));
}
// Effects, pan and 3D placement are not heard; the sound still gets its slot.
TW_BUILTIN(F_SoundTakesSlot) {
  if (!LegacyActive()) return;
  if (CSound* s = SoundArg(argc, args)) s->GetSlot();
}
TW_BUILTIN(F_SoundTakesSlotBoth) {
  if (CSound* s = SoundArg(argc, args)) s->GetSlot();
}
TW_BUILTIN(F_Nothing) {}
TW_BUILTIN(F_SoundGlobalVolume) {
  if (LegacyActive()) SoundHardware_SetMasterVolume(FloatArg(argc, args, 0));
}

const NamedBuiltin kLegacySound[] = {
    {"sound_play", F_SoundPlay},
    {"sound_loop", F_SoundLoop},
    {"sound_stop", F_SoundStop},
    {"sound_stop_all", F_SoundStopAll},
    {"sound_isplaying", F_SoundIsPlaying},
    {"sound_volume", F_SoundVolume},
    {"sound_fade", F_SoundFade},
    {"sound_pan", F_SoundTakesSlot},
    {"sound_background_tempo", F_Nothing},
    {"sound_global_volume", F_SoundGlobalVolume},
    {"sound_set_search_directory", F_Nothing},
    {"sound_effect_set", F_SoundTakesSlot},
    {"sound_effect_chorus", F_SoundTakesSlot},
    {"sound_effect_compressor", F_SoundTakesSlot},
    {"sound_effect_echo", F_SoundTakesSlot},
    {"sound_effect_flanger", F_SoundTakesSlot},
    {"sound_effect_gargle", F_SoundTakesSlot},
    {"sound_effect_equalizer", F_SoundTakesSlot},
    {"sound_effect_reverb", F_SoundTakesSlot},
    {"sound_3d_set_sound_position", F_SoundTakesSlot},
    {"sound_3d_set_sound_velocity", F_SoundTakesSlotBoth},
    {"sound_3d_set_sound_distance", F_SoundTakesSlotBoth},
    {"sound_3d_set_sound_cone", F_SoundTakesSlotBoth},
};

// ---- CD audio: every status goes through the MCI, which has no drive ----

std::string Status(const std::string& command) {
  std::string reply;
  Mci_SendString(command, &reply);
  return reply.substr(0, 19);  // the 20-byte reply buffer
}
void Send(const std::string& command) { Mci_SendString(command, nullptr); }

bool MediaPresent() {
  Send("open cdaudio");
  return Status("status cdaudio media present") == "true";
}
int32_t TrackCount() {
  Send("open cdaudio");
  return MediaPresent() ? std::atoi(Status("status cdaudio number of tracks").c_str()) : 0;
}
std::string Mode() {
  Send("open cdaudio");
  return MediaPresent() ? Status("status cdaudio mode") : std::string();
}
int32_t CurrentTrack() {
  Send("open cdaudio");
  Send("set cdaudio time format tmsf wait");
  return MediaPresent() ? std::atoi(Status("status cdaudio position").substr(0, 2).c_str()) : 0;
}

TW_BUILTIN(F_CdInit) {
  Send("close cdaudio");
  Send("open cdaudio");
}
TW_BUILTIN(F_CdPresent) { Return(result, MediaPresent() ? 1 : 0); }
TW_BUILTIN(F_CdNumber) { Return(result, TrackCount()); }
TW_BUILTIN(F_CdPlaying) { Return(result, Mode() == "playing" ? 1 : 0); }
TW_BUILTIN(F_CdPaused) {
  const std::string mode = Mode();
  Return(result, mode == "paused" || mode == "stopped" ? 1 : 0);
}
TW_BUILTIN(F_CdTrack) { Return(result, CurrentTrack()); }
TW_BUILTIN(F_CdLength) {
  Send("open cdaudio");
  Send("set cdaudio time format ms wait");
  const int32_t ms = MediaPresent() ? std::atoi(Status("status cdaudio length wait").c_str()) : 0;
  Send("set cdaudio time format tmsf wait");
  Return(result, ms);
}
TW_BUILTIN(F_CdTrackLength) {
  const int32_t track = RoundedArg(argc, args, 0);
  if (track < 1 || track > TrackCount()) return Return(result, 0);
  Send("set cdaudio time format milliseconds wait");
  const int32_t ms =
      MediaPresent() ? std::atoi(Status("status cdaudio length track " + std::to_string(track)).c_str()) : 0;
  Send("set cdaudio time format tmsf wait");
  Return(result, ms);
}
TW_BUILTIN(F_CdPosition) {
  Send("open cdaudio");
  Send("set cdaudio time format milliseconds wait");
  const int32_t ms = MediaPresent() ? std::atoi(Status("status cdaudio position").c_str()) : 0;
  Send("set cdaudio time format tmsf wait");
  Return(result, ms);
}
TW_BUILTIN(F_CdTrackPosition) {
  Send("open cdaudio");
  Send("set cdaudio time format tmsf wait");
  int32_t ms = 0;
  if (MediaPresent()) {
    const std::string p = Status("status cdaudio position");
    if (p.size() > 4) ms += std::atoi(p.substr(4, 2).c_str()) * 60000;
    if (p.size() > 7) ms += std::atoi(p.substr(7, 2).c_str()) * 1000;
  }
  Return(result, ms);
}
TW_BUILTIN(F_CdPlay) {
  if (!MediaPresent()) return;
  Send("set cdaudio time format tmsf wait");
  int32_t first = RoundedArg(argc, args, 0);
  const int32_t last = RoundedArg(argc, args, 1);
  if (last < first) return;
  if (first < 1) first = 1;
  if (last < TrackCount())
    Send("play cdaudio from " + std::to_string(first) + " to " + std::to_string(last + 1));
  else
    Send("play cdaudio from " + std::to_string(first));
}
TW_BUILTIN(F_CdStop) {
  if (MediaPresent()) Send("stop cdaudio");
}
TW_BUILTIN(F_CdPause) {
  if (MediaPresent()) Send("pause cdaudio");
}
TW_BUILTIN(F_CdResume) {
  if (MediaPresent()) Send("play cdaudio");
}
TW_BUILTIN(F_CdSetPosition) {
  if (!MediaPresent()) return;
  const std::string ms = std::to_string(RoundedArg(argc, args, 0));
  Send("set cdaudio time format milliseconds wait");
  Send(Mode() == "playing" ? "play cdaudio from " + ms : "seek cdaudio to " + ms);
  Send("set cdaudio time format tmsf");
}
TW_BUILTIN(F_CdSetTrackPosition) {
  if (!MediaPresent()) return;
  const int32_t track = CurrentTrack();
  if (track <= 0) return;
  const int32_t ms = RoundedArg(argc, args, 0);
  const std::string at =
      std::to_string(track) + ":" + std::to_string(ms / 60000) + ":" + std::to_string((ms % 60000) / 1000);
  Send("set cdaudio time format tmsf wait");
  Send(Mode() == "playing" ? "play cdaudio from " + at : "seek cdaudio to " + at);
  Send("set cdaudio time format tmsf");
}
TW_BUILTIN(F_CdOpenDoor) {
  Send("open cdaudio");
  Send("set cdaudio door open");
}
TW_BUILTIN(F_CdCloseDoor) {
  Send("open cdaudio");
  Send("set cdaudio door closed");
}
TW_BUILTIN(F_MciCommand) {
  std::string reply;
  Mci_SendString(TextArg(argc, args, 0), &reply);
  if (reply.size() > 255) reply.resize(255);
  ScriptValue_SetText(result, reply.c_str());
}

const NamedBuiltin kCd[] = {
    {"cd_init", F_CdInit},
    {"cd_present", F_CdPresent},
    {"cd_number", F_CdNumber},
    {"cd_playing", F_CdPlaying},
    {"cd_paused", F_CdPaused},
    {"cd_track", F_CdTrack},
    {"cd_length", F_CdLength},
    {"cd_track_length", F_CdTrackLength},
    {"cd_position", F_CdPosition},
    {"cd_track_position", F_CdTrackPosition},
    {"cd_play", F_CdPlay},
    {"cd_stop", F_CdStop},
    {"cd_pause", F_CdPause},
    {"cd_resume", F_CdResume},
    {"cd_set_position", F_CdSetPosition},
    {"cd_set_track_position", F_CdSetTrackPosition},
    {"cd_open_door", F_CdOpenDoor},
    {"cd_close_door", F_CdCloseDoor},
    {"MCI_command", F_MciCommand},
};

// ---- The sound resource built-ins ----

bool NewAudio() { return Options_Get().new_audio; }

TW_BUILTIN(F_SoundExists) {
  Return(result, NewAudio() ? (Audio_GetAsset(RoundedArg(argc, args, 0)) ? 1 : 0)
                            : (Sound_Exists(RoundedArg(argc, args, 0)) ? 1 : 0));
}
TW_BUILTIN(F_SoundGetName) { ScriptValue_SetText(result, Sound_GetName(RoundedArg(argc, args, 0)).c_str()); }
TW_BUILTIN(F_SoundGetKind) {
  const CSound* s = Sound_Get(RoundedArg(argc, args, 0));
  Return(result, s ? s->kind : -1);
}
TW_BUILTIN(F_SoundGetPreload) {
  const CSound* s = Sound_Get(RoundedArg(argc, args, 0));
  Return(result, s ? (s->preload ? 1 : 0) : -1);
}
TW_BUILTIN(F_SoundDiscard) {
  if (NewAudio()) return;
  if (CSound* s = Sound_Get(RoundedArg(argc, args, 0))) s->FreeSlot();
}
TW_BUILTIN(F_SoundRestore) {
  if (NewAudio()) return;
  if (CSound* s = Sound_Get(RoundedArg(argc, args, 0))) s->Prepare();
}
TW_BUILTIN(F_SoundAdd) {
  if (NewAudio()) return;
  Return(result, Sound_Add(TextArg(argc, args, 0), RoundedArg(argc, args, 1), HalfFlagArg(argc, args, 2)));
}
TW_BUILTIN(F_SoundReplace) {
  if (NewAudio()) return;
  const int32_t index = RoundedArg(argc, args, 0);
  if (!Sound_Exists(index)) return Report("Trying to replace non-existing sound.");
  Return(result,
         Sound_Replace(index, TextArg(argc, args, 1), RoundedArg(argc, args, 2), HalfFlagArg(argc, args, 3)) ? 1 : 0);
}
TW_BUILTIN(F_SoundDelete) {
  if (NewAudio()) return;
  const int32_t index = RoundedArg(argc, args, 0);
  if (!Sound_Exists(index)) return Report("Trying to delete non-existing sound.");
  Return(result, Sound_Delete(index) ? 1 : 0);
}

}  // namespace

std::span<const NamedBuiltin> Audio_LegacySoundBuiltins() { return kLegacySound; }
std::span<const NamedBuiltin> Audio_CdBuiltins() { return kCd; }
BuiltinGroup Audio_SoundGroup() { return {kSoundGroup, kFamilies}; }

void InitSoundFunctions() { BuiltinGroup_Register(Audio_SoundGroup()); }

void Sound_RegisterResourceFunctions() {
  static const struct {
    const char* name;
    BuiltinHandler handler;
    int args;
  } kFamily[] = {
      {"sound_name", F_SoundGetName, 1},
      {"sound_exists", F_SoundExists, 1},
      {"sound_get_name", F_SoundGetName, 1},
      {"sound_get_kind", F_SoundGetKind, 1},
      {"sound_get_preload", F_SoundGetPreload, 1},
      {"sound_discard", F_SoundDiscard, 1},
      {"sound_restore", F_SoundRestore, 1},
      {"sound_add", F_SoundAdd, 3},
      {"sound_replace", F_SoundReplace, 4},
      {"sound_delete", F_SoundDelete, 1},
  };
  for (const auto& f : kFamily) FunctionRegistry_Add(f.name, f.handler, f.args);
}
