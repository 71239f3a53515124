// The audio_ built-ins: thin wrappers over the voices, emitters, listener and
// assets of the OpenAL audio system. Indices, ids, times, models, counts and
// flags are rounded (halves to even); positions, gains, pitches, distances
// and priorities pass on as floats. Only audio_play_sound checks its
// arguments. While the system is off each operation answers as it does
// without a device.
#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/legacy_sound.h"
#include "audio/sound_group.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

int32_t Int(int argc, const ScriptValue* args, int i) { return RoundedArg(argc, args, i); }
float Real(int argc, const ScriptValue* args, int i) { return FloatArg(argc, args, i); }
void ReturnFlag(ScriptValue* result, bool b) { Return(result, b ? 1 : 0); }

TW_BUILTIN(F_ListenerPosition) { Audio_SetListenerPosition(Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_ListenerVelocity) { Audio_SetListenerVelocity(Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_ListenerOrientation) {
  Audio_SetListenerOrientation(Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                               Real(argc, args, 4), Real(argc, args, 5));
}
TW_BUILTIN(F_EmitterPosition) {
  Audio_SetEmitterPosition(Int(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_EmitterVelocity) {
  Audio_SetEmitterVelocity(Int(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_System) { Return(result, Audio_IsNewSystem()); }
TW_BUILTIN(F_EmitterCreate) { Return(result, Audio_CreateEmitter()); }
TW_BUILTIN(F_EmitterFree) { Audio_FreeEmitter(Int(argc, args, 0)); }

TW_BUILTIN(F_PlaySound) {
  ScriptValue_Free(result);
  *result = ScriptValue::FromReal(-1);
  if (argc != 3) return Error_ReportRuntime(ErrorSeverity::kError, "Illegal argument count");
  for (int i = 0; i < 3; ++i)
    if (!args[i].IsReal()) return Error_ReportRuntime(ErrorSeverity::kError, "Illegal argument type");
  Return(result, Audio_PlaySound(Int(argc, args, 0), Real(argc, args, 1), Int(argc, args, 2)));
}
TW_BUILTIN(F_PlaySoundOn) {
  Return(result, Audio_PlaySoundOn(Int(argc, args, 0), Int(argc, args, 1), Int(argc, args, 2), Real(argc, args, 3)));
}
TW_BUILTIN(F_PlaySoundAt) {
  Return(result, Audio_PlaySoundAt(Int(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                                   Real(argc, args, 4), Real(argc, args, 5), Real(argc, args, 6), Int(argc, args, 7),
                                   Real(argc, args, 8)));
}
TW_BUILTIN(F_FalloffSetModel) { Audio_SetFalloffModel(Int(argc, args, 0)); }
TW_BUILTIN(F_StopSound) { Audio_StopSound(Int(argc, args, 0)); }
TW_BUILTIN(F_PauseSound) { Audio_PauseSound(Int(argc, args, 0)); }
TW_BUILTIN(F_ResumeSound) { Audio_ResumeSound(Int(argc, args, 0)); }
TW_BUILTIN(F_PauseAll) { Audio_PauseAll(); }
TW_BUILTIN(F_ResumeAll) { Audio_ResumeAll(); }
TW_BUILTIN(F_IsPlaying) { ReturnFlag(result, Audio_IsPlaying(Int(argc, args, 0))); }
TW_BUILTIN(F_IsPaused) { ReturnFlag(result, Audio_IsPaused(Int(argc, args, 0))); }
TW_BUILTIN(F_Exists) { ReturnFlag(result, Audio_Exists(Int(argc, args, 0))); }
TW_BUILTIN(F_MasterGain) { Audio_SetMasterGain(Real(argc, args, 0)); }
TW_BUILTIN(F_EmitterExists) { ReturnFlag(result, Audio_EmitterExists(Int(argc, args, 0))); }
TW_BUILTIN(F_GetType) { Return(result, Audio_GetType(Int(argc, args, 0))); }
TW_BUILTIN(F_EmitterGain) { Audio_SetEmitterGain(Int(argc, args, 0), Real(argc, args, 1)); }
TW_BUILTIN(F_EmitterPitch) { Audio_SetEmitterPitch(Int(argc, args, 0), Real(argc, args, 1)); }
TW_BUILTIN(F_EmitterFalloff) {
  Audio_SetEmitterFalloff(Int(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_ChannelNum) { Audio_SetChannelCount(Int(argc, args, 0)); }
TW_BUILTIN(F_PlayMusic) { Audio_PlayMusic(Int(argc, args, 0), Int(argc, args, 1)); }
TW_BUILTIN(F_StopMusic) { Audio_StopMusic(); }
// While the OpenAL system is off these drive the legacy music instead.
TW_BUILTIN(F_PauseMusic) {
  if (Audio_IsOn())
    Audio_PauseMusic();
  else
    SoundHardware_PauseMusic(true);
}
TW_BUILTIN(F_ResumeMusic) {
  if (Audio_IsOn())
    Audio_ResumeMusic();
  else
    SoundHardware_PauseMusic(false);
}
TW_BUILTIN(F_MusicIsPlaying) { ReturnFlag(result, Audio_MusicIsPlaying()); }
TW_BUILTIN(F_MusicGain) { Audio_SetMusicGain(Real(argc, args, 0), Int(argc, args, 1)); }
TW_BUILTIN(F_SoundGain) { Audio_SetGain(Int(argc, args, 0), Real(argc, args, 1), Int(argc, args, 2)); }
TW_BUILTIN(F_SoundPitch) { Audio_SetPitch(Int(argc, args, 0), Real(argc, args, 1)); }
TW_BUILTIN(F_StopAll) { Audio_StopAll(); }
TW_BUILTIN(F_SoundLength) { Return(result, Audio_GetSoundLength(Int(argc, args, 0))); }

const NamedBuiltin kAudio[] = {
    {"audio_listener_position", F_ListenerPosition},
    {"audio_listener_velocity", F_ListenerVelocity},
    {"audio_listener_orientation", F_ListenerOrientation},
    {"audio_emitter_position", F_EmitterPosition},
    {"audio_emitter_velocity", F_EmitterVelocity},
    {"audio_system", F_System},
    {"audio_emitter_create", F_EmitterCreate},
    {"audio_emitter_free", F_EmitterFree},
    {"audio_play_sound", F_PlaySound},
    {"audio_play_sound_on", F_PlaySoundOn},
    {"audio_play_sound_at", F_PlaySoundAt},
    {"audio_falloff_set_model", F_FalloffSetModel},
    {"audio_stop_sound", F_StopSound},
    {"audio_pause_sound", F_PauseSound},
    {"audio_resume_sound", F_ResumeSound},
    {"audio_pause_all", F_PauseAll},
    {"audio_resume_all", F_ResumeAll},
    {"audio_is_playing", F_IsPlaying},
    {"audio_is_paused", F_IsPaused},
    {"audio_exists", F_Exists},
    {"audio_master_gain", F_MasterGain},
    {"audio_emitter_exists", F_EmitterExists},
    {"audio_get_type", F_GetType},
    {"audio_emitter_gain", F_EmitterGain},
    {"audio_emitter_pitch", F_EmitterPitch},
    {"audio_emitter_falloff", F_EmitterFalloff},
    {"audio_channel_num", F_ChannelNum},
    {"audio_play_music", F_PlayMusic},
    {"audio_stop_music", F_StopMusic},
    {"audio_pause_music", F_PauseMusic},
    {"audio_resume_music", F_ResumeMusic},
    {"audio_music_is_playing", F_MusicIsPlaying},
    {"audio_music_gain", F_MusicGain},
    {"audio_sound_gain", F_SoundGain},
    {"audio_sound_pitch", F_SoundPitch},
    {"audio_stop_all", F_StopAll},
    {"audio_sound_length", F_SoundLength},
};

}  // namespace

std::span<const NamedBuiltin> Audio_AudioBuiltins() { return kAudio; }
