// A game of small compiled events for end-to-end tests. Each entry of the
// compiled event table logs what runs to the output console and may do one
// thing more; fixture containers pick entries by their CODE index.
#include <cstdio>
#include <set>
#include <string>

#include "script/console.h"
#include "core/event_dispatch.h"
#include "core/event_names.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/native_game.h"
#include "core/builtin_vars.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/value.h"
#include "sprites/sprites.h"

namespace {

// "<event> <object> <id>", with the handler's object when it was inherited
// and the other instance of a collision.
void Log(CObjInstance* self, CObjInstance* other) {
  if (g_Run.event_type == 100000) {
    g_OutputConsole->Output("Moment %d %s %d\n", g_Run.event_number, Object_GetName(self->object_index).c_str(),
                            self->id);
    return;
  }
  std::string line = Event_ShortName(g_Run.event_type, g_Run.event_number) + " " +
                     Object_GetName(self->object_index) + " " + std::to_string(self->id);
  if (g_Run.event_object != self->object_index) line += " via " + Object_GetName(g_Run.event_object);
  if (g_Run.event_type == 4 && other) line += " with " + std::to_string(other->id);
  g_OutputConsole->Output("%s\n", line.c_str());
}

bool FirstTimeFor(std::set<int>& seen, CObjInstance* self) { return seen.insert(self->id).second; }

void LogOnly(CObjInstance* s, CObjInstance* o) { Log(s, o); }

void CreateChildOnce(CObjInstance* s, CObjInstance* o) {
  static std::set<int> seen;
  Log(s, o);
  if (FirstTimeFor(seen, s)) Instance_Create(1, 0, 0);
}

void DestroySelf(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  Instance_Destroy(s);
}

void SinkOnce(CObjInstance* s, CObjInstance* o) {
  static std::set<int> seen;
  Log(s, o);
  if (FirstTimeFor(seen, s)) s->SetDepth(s->depth + 100);
}

void SetAlarm0To2(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  s->SetAlarm(0, 2);
}

void EndGame(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  g_Run.new_room = kNewRoomEnd;
}

void NextRoomOrEnd(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  int32_t next = g_Run.room_index + 1;
  g_Run.new_room = Room_Exists(next) ? next : kNewRoomEnd;
}

void RestartOnce(CObjInstance* s, CObjInstance* o) {
  static bool done = false;
  Log(s, o);
  if (!done) g_Run.new_room = kNewRoomRestart;
  done = true;
}

void Recurse(CObjInstance* s, CObjInstance* o) {
  g_OutputConsole->Output("depth %d\n", Event_NestingDepth());
  PerformEvent(s, o, s->object_index, 7, 10);
}

void RaiseError(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  Error_ReportRuntime(ErrorSeverity::kError, "Custom error raised by a built-in");
  g_OutputConsole->Output("after the error\n");
}

void MoveRight(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  s->hspeed = 4;
}

void CreationCode(CObjInstance* s, CObjInstance*) {
  g_OutputConsole->Output("CreationCode %s %d\n", Object_GetName(s->object_index).c_str(), s->id);
}

void RoomCode(CObjInstance*, CObjInstance*) { g_OutputConsole->Output("RoomCode %d\n", g_Run.room_index); }

void GotoNextRoomPersistent(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  s->persistent = true;
}

void StartTimeline(CObjInstance* s, int32_t timeline) {
  s->timeline_index = timeline;
  s->timeline_position = 0;
  s->timeline_speed = 1;
  s->timeline_running = true;
}

void StartTimeline0(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  StartTimeline(s, 0);
}

void StartTimeline1(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  StartTimeline(s, 1);
}

void PingPong(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  g_Run.new_room = g_Run.room_index == 0 ? 1 : 0;
}

void GotoMissingRoom(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  g_Run.new_room = 7;
}

void GotoNext(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  Room_GotoNext();
}

// Through the built-in variable table, as script code writes them.
void SetVar(CObjInstance* s, const char* name, double value, int32_t index = -1) {
  ScriptValue v = ScriptValue::FromReal(value);
  if (!Instance_SetVar(s, BuiltinVar_Find(name), index, &v)) g_OutputConsole->Output("refused %s\n", name);
}

double GetVar(CObjInstance* s, const char* name, int32_t index = -1) {
  ScriptValue v;
  const double r = Instance_GetVar(s, BuiltinVar_Find(name), index, &v) ? v.Real() : -999;
  ScriptValue_Free(&v);
  return r;
}

void LaunchDown(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  SetVar(s, "speed", 3);
  SetVar(s, "direction", 270);
  SetVar(s, "alarm", 2, 1);
  SetVar(s, "id", 5);
}

void LogMotion(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  g_OutputConsole->Output("at %g %g hspeed %g vspeed %g alarm1 %g count %g\n", GetVar(s, "x"), GetVar(s, "y"),
                          GetVar(s, "hspeed"), GetVar(s, "vspeed"), GetVar(s, "alarm", 1),
                          GetVar(s, "instance_count"));
}

// Draws the instance's own sprite where it stands, as an instance without a
// draw event would; quiet, since draw events run every frame.
void DrawSelf(CObjInstance* s, CObjInstance*) { Sprite_DrawInstanceDefault(s); }

// scr_sum (...): the sum of its arguments, with a line naming their count.
void SumArguments(CObjInstance*, CObjInstance*, ScriptValue* result, int argc, ScriptValue** args) {
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum += args[i]->Real();
  g_OutputConsole->Output("scr_sum got %d arguments\n", argc);
  result->real = sum;
}

// The functions the compiled code calls, bound by name at load.
NativeFuncRef g_scrSum{"scr_sum", -1};
NativeFuncRef* const kFuncRefs[] = {&g_scrSum, nullptr};

// scr_sum (2, 40) + 1 through the function id bound at load.
void CallSum(CObjInstance* s, CObjInstance* o) {
  Log(s, o);
  ScriptValue args[2] = {ScriptValue::FromReal(2), ScriptValue::FromReal(40)};
  ScriptValue result;
  const int32_t id = g_scrSum.id;
  if (id >= kFirstScriptFunction && id < kFirstExtensionFunction &&
      Script_Run(id - kFirstScriptFunction, s, o, 2, &result, args)) {
    g_OutputConsole->Output("scr_sum (2, 40) + 1 = %g\n", result.Real() + 1);
  } else {
    g_OutputConsole->Output("scr_sum did not run (id %d)\n", id);
  }
  ScriptValue_Free(&result);
}

const NativeCodeEntry kTable[] = {
    {"tws_Object_log_0", LogOnly},                   // 0
    {"tws_Object_create_child_1", CreateChildOnce},  // 1
    {"tws_Object_destroy_self_2", DestroySelf},      // 2
    {"tws_Object_sink_once_3", SinkOnce},            // 3
    {"tws_Object_alarm0_4", SetAlarm0To2},           // 4
    {"tws_Object_end_game_5", EndGame},              // 5
    {"tws_Object_next_room_6", NextRoomOrEnd},       // 6
    {"tws_Object_restart_once_7", RestartOnce},      // 7
    {"tws_Object_recurse_8", Recurse},               // 8
    {"tws_Object_error_9", RaiseError},              // 9
    {"tws_Object_move_right_10", MoveRight},         // 10
    {"tws_Object_creation_code_11", CreationCode},   // 11
    {"tws_Object_room_code_12", RoomCode},           // 12
    {"tws_Object_persist_13", GotoNextRoomPersistent},  // 13
    {"tws_Object_timeline0_14", StartTimeline0},     // 14
    {"tws_Object_timeline1_15", StartTimeline1},     // 15
    {"tws_Object_ping_pong_16", PingPong},           // 16
    {"tws_Object_goto_missing_17", GotoMissingRoom},  // 17
    {"tws_Object_goto_next_18", GotoNext},            // 18
    {"tws_Object_launch_down_19", LaunchDown},        // 19
    {"tws_Object_log_motion_20", LogMotion},          // 20
    {"tws_Object_draw_self_21", DrawSelf},           // 21
    {"tws_Script_scr_sum_22", nullptr, SumArguments},  // 22
    {"tws_Object_call_sum_23", CallSum},             // 23
};

}  // namespace

const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{0,       0, 0, nullptr, kTable, int32_t(sizeof kTable / sizeof kTable[0]),
                                       nullptr, kFuncRefs};
  return header;
}
