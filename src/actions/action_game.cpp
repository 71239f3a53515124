// The game-state actions: sounds, rooms, the game's end and restart,
// messages and web pages, score, lives, health and the caption, the parent's
// event, scripts, the cursor, full screen, snapshots and the CD player.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "actions/action_args.h"
#include "actions/action_group.h"
#include "actions/actions.h"
#include "audio/audio.h"
#include "audio/audio_assets.h"
#include "audio/audio_voices.h"
#include "audio/legacy_sound.h"
#include "audio/sound_group.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "files/files.h"
#include "files/high_score.h"
#include "graphics/frame_capture.h"
#include "graphics/window.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "platform/process.h"
#include "script/builtin_args.h"
#include "script/code_run.h"
#include "script/errors.h"
#include "script/scripts.h"

namespace {

constexpr int32_t kOtherNoMoreLives = 6;
constexpr int32_t kOtherNoMoreHealth = 9;

// ---- Sound ------------------------------------------------------------------

// "-noaudio" turns every sound off: the actions neither play nor complain,
// whichever system the game chose (its sounds may not even be loaded).
bool SoundOff() { return g_NoAudio; }
bool NewAudio() { return Options_Get().new_audio; }

constexpr int32_t kAudioInMemory = 0;
constexpr int32_t kAudioStreamed = 1;

TW_BUILTIN(action_sound) { Action_PlaySound(RoundedArg(argc, args, 0), HalfFlagArg(argc, args, 1)); }
TW_BUILTIN(action_end_sound) { Action_StopSound(RoundedArg(argc, args, 0)); }

TW_BUILTIN(action_if_sound) {
  const int32_t sound = RoundedArg(argc, args, 0);
  bool playing = false;
  if (SoundOff()) {
    playing = false;
  } else if (NewAudio()) {
    playing = Audio_IsPlaying(sound);
  } else if (CSound* s = Sound_Get(sound)) {
    playing = Sound_IsPlaying(s->file_name, s->slot);
  }
  Return(result, playing ? 1 : 0);
}

// ---- Rooms and the game -----------------------------------------------------

TW_BUILTIN(action_another_room) { Room_Goto(RoundedArg(argc, args, 0)); }
TW_BUILTIN(action_current_room) { Room_Restart(); }
TW_BUILTIN(action_previous_room) { Room_GotoPrevious(); }
TW_BUILTIN(action_next_room) { Room_GotoNext(); }
TW_BUILTIN(action_end_game) { Action_EndGame(); }
TW_BUILTIN(action_restart_game) { Game_Restart(); }

// ---- Built-ins of other groups the actions stand for ------------------------

// Runs the handler `name` of `family` on these arguments.
void CallFamily(std::span<const NamedBuiltin> family, std::string_view name, ScriptValue* result,
                CObjInstance* self, CObjInstance* other, int argc, ScriptValue* args) {
  if (BuiltinHandler handler = BuiltinFamily_Find(family, name)) handler(result, self, other, argc, args);
}

// ---- Messages and shown media -----------------------------------------------

TW_BUILTIN(action_message) {
  std::string text;
  if (IsStringArg(argc, args, 0)) {
    text = TextArg(argc, args, 0);
    Support_ConvertHashNewlines(&text);
  } else {
    char number[63];
    std::snprintf(number, sizeof number, "%e", Arg(argc, args, 0));
    text = number;
  }
  Support_MessageBox(text);
  IO_Clear();
  Return(result, 1);
}

TW_BUILTIN(action_show_info) { IO_Clear(); }

// The video's window mode means nothing here, where no video is shown; the
// back end, its error and the input clear are those of splash_show_video.
TW_BUILTIN(action_show_video) {
  ScriptValue video[2];
  if (argc > 0) ScriptValue_Copy(&video[0], &args[0]);
  Return(&video[1], RoundedArg(argc, args, 2) > 0 ? 1 : 0);
  CallFamily(Input_SplashBuiltins(), "splash_show_video", result, self, other, 2, video);
  ScriptValue_Free(&video[0]);
}

// Only web addresses are opened, and never through a shell: the address is
// one argument of the desktop's opener, whatever characters it holds.
bool IsWebAddress(std::string_view address) {
  for (std::string_view scheme : {std::string_view("http:"), std::string_view("https:")}) {
    if (address.size() < scheme.size()) continue;
    if (std::equal(scheme.begin(), scheme.end(), address.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
      return true;
  }
  return false;
}

TW_BUILTIN(action_webpage) {
  const std::string address = IsStringArg(argc, args, 0) ? TextArg(argc, args, 0) : "";
  std::optional<int> pid;
  if (IsWebAddress(address)) pid = Process_Start("xdg-open", {address});
  if (!pid) return Action_Report("Failed to open the webpage.");
  Process_Detach(*pid);
}

// ---- Score, lives, health and the caption ------------------------------------

// A script number as a count: rounded, halves to even, saturating at the
// int32 range with NaN as 0; under the relative flag added to `current`,
// the sum saturating too. No huge value wraps or is undefined.
int32_t CountValue(int32_t current, double value) {
  // Held well past the int32 range first, so the sum cannot overflow.
  constexpr int64_t kFar = int64_t(1) << 40;
  const int64_t rounded = std::clamp<int64_t>(Real_ToInt64(std::nearbyint(value)), -kFar, kFar);
  const int64_t count = Action_GetRelative() ? current + rounded : rounded;
  return int32_t(std::clamp<int64_t>(count, INT32_MIN, INT32_MAX));
}

TW_BUILTIN(action_set_score) { g_Run.score = CountValue(g_Run.score, Arg(argc, args, 0)); }

TW_BUILTIN(action_set_life) {
  const int32_t was = g_Run.lives;
  g_Run.lives = CountValue(was, Arg(argc, args, 0));
  if (was > 0 && g_Run.lives <= 0) Run_PerformEventAll(kEventOther, kOtherNoMoreLives);
}

TW_BUILTIN(action_set_health) {
  const double was = g_Run.health;
  const double value = Arg(argc, args, 0);
  g_Run.health = Action_GetRelative() ? was + value : value;
  if (was > 0 && g_Run.health <= 0) Run_PerformEventAll(kEventOther, kOtherNoMoreHealth);
}

std::string CaptionArg(int argc, const ScriptValue* args, int i) {
  return IsStringArg(argc, args, i) ? TextArg(argc, args, i) : "";
}

TW_BUILTIN(action_set_caption) {
  g_Run.show_score = RoundedArg(argc, args, 0) == 1;
  g_Run.caption_score = CaptionArg(argc, args, 1);
  g_Run.show_lives = RoundedArg(argc, args, 2) == 1;
  g_Run.caption_lives = CaptionArg(argc, args, 3);
  g_Run.show_health = RoundedArg(argc, args, 4) == 1;
  g_Run.caption_health = CaptionArg(argc, args, 5);
  g_Run.caption_changed = true;
}

TW_BUILTIN(action_highscore_clear) { HighScore_Clear(); }

// ---- The parent's event and scripts ----------------------------------------

TW_BUILTIN(action_inherited) {
  const CObject* object = Object_Find(g_Run.event_object);
  const CObject* parent = object ? object->Parent() : nullptr;
  if (parent) PerformEvent(self, other, parent->index, g_Run.event_type, g_Run.event_number);
}

constexpr int kScriptActionArguments = 5;

// The five arguments after the script index are the script's argument0 to
// argument4; a failure inside the script is reported and the game goes on.
void Action_ExecuteScript(ScriptValue* result, CObjInstance* self, CObjInstance* other, int32_t script, int argc,
                          const ScriptValue* args) {
  ScriptValue list[kScriptActionArguments];
  for (int i = 0; i < kScriptActionArguments && i < argc; ++i) ScriptValue_Copy(&list[i], &args[i]);
  ScriptValue value;
  if (!Script_Run(script, self, other, kScriptActionArguments, &value, list)) Code_ReportPendingError();
  ScriptValue_Copy(result, &value);
  ScriptValue_Free(&value);
  for (ScriptValue& v : list) ScriptValue_Free(&v);
}

TW_BUILTIN(action_execute_script) {
  Action_ExecuteScript(result, self, other, RoundedArg(argc, args, 0), argc - 1, args + 1);
}

// ---- The window, snapshots and the CD player ---------------------------------

TW_BUILTIN(action_set_cursor) {
  g_Run.cursor_sprite = RoundedArg(argc, args, 0);
  Window_SetCursor(HalfFlagArg(argc, args, 1) ? 0 : -1);
}

TW_BUILTIN(action_fullscreen) {
  switch (RoundedArg(argc, args, 0)) {
    case 1: return Window_SetFullscreen(false);
    case 2: return Window_SetFullscreen(true);
    default: return Window_SetFullscreen(!Window_GetFullscreen());
  }
}

TW_BUILTIN(action_snapshot) { Screen_Save(TextArg(argc, args, 0)); }

#define CD_ACTION(action, builtin) \
  TW_BUILTIN(action) { CallFamily(Audio_CdBuiltins(), builtin, result, self, other, argc, args); }
CD_ACTION(action_cd_play, "cd_play")
CD_ACTION(action_cd_stop, "cd_stop")
CD_ACTION(action_cd_pause, "cd_pause")
CD_ACTION(action_cd_resume, "cd_resume")
CD_ACTION(action_cd_present, "cd_present")
CD_ACTION(action_cd_playing, "cd_playing")
#undef CD_ACTION

const NamedBuiltin kGameBuiltins[] = {
    {"action_sound", action_sound},
    {"action_end_sound", action_end_sound},
    {"action_if_sound", action_if_sound},
    {"action_another_room", action_another_room},
    {"action_current_room", action_current_room},
    {"action_previous_room", action_previous_room},
    {"action_next_room", action_next_room},
    {"action_message", action_message},
    {"action_show_info", action_show_info},
    {"action_show_video", action_show_video},
    {"action_end_game", action_end_game},
    {"action_restart_game", action_restart_game},
    {"action_execute_script", action_execute_script},
    {"action_inherited", action_inherited},
    {"action_set_score", action_set_score},
    {"action_highscore_clear", action_highscore_clear},
    {"action_set_life", action_set_life},
    {"action_set_health", action_set_health},
    {"action_set_caption", action_set_caption},
    {"action_cd_play", action_cd_play},
    {"action_cd_stop", action_cd_stop},
    {"action_cd_pause", action_cd_pause},
    {"action_cd_resume", action_cd_resume},
    {"action_cd_present", action_cd_present},
    {"action_cd_playing", action_cd_playing},
    {"action_set_cursor", action_set_cursor},
    {"action_webpage", action_webpage},
    {"action_fullscreen", action_fullscreen},
    {"action_snapshot", action_snapshot},
};

}  // namespace

std::span<const NamedBuiltin> Action_GameBuiltins() { return kGameBuiltins; }

void Action_PlaySound(int32_t sound, bool loop) {
  if (SoundOff()) return;
  if (!NewAudio()) {
    Sound_ActionPlay(sound, loop);
    return;
  }
  switch (Audio_GetType(sound)) {
    case kAudioInMemory: Audio_PlaySound(sound, 1.0f, loop ? 1 : 0); break;
    case kAudioStreamed: Audio_PlayMusic(sound, loop ? 1 : 0); break;
    default: break;
  }
}

void Action_StopSound(int32_t sound) {
  if (SoundOff()) return;
  if (!NewAudio()) {
    Sound_ActionStop(sound);
    return;
  }
  switch (Audio_GetType(sound)) {
    case kAudioInMemory: Audio_StopSound(sound); break;
    case kAudioStreamed: Audio_StopMusic(); break;
    default: break;
  }
}

void Action_EndGame() { g_Run.new_room = kNewRoomEnd; }
