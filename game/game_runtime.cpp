#include "game/game_runtime.h"

#include <vector>

#include "actions/actions.h"
#include "core/code_chunks.h"
#include "core/instance_vars.h"
#include "core/instances.h"
#include "script/builtins_math.h"
#include "script/errors.h"
#include "script/function_registry.h"

namespace game {

NativeVarRef var_direction{"direction", -1}, var_x{"x", -1}, var_SoundPlay{"SoundPlay", -1},
    var_difficulty_selector{"difficulty_selector", -1}, var_sp{"sp", -1}, var_OBJ{"OBJ", -1}, var_tx{"tx", -1},
    var_y{"y", -1}, var_ty{"ty", -1}, var_score_player2{"score_player2", -1}, var_score_player1{"score_player1", -1},
    var_level_selector{"level_selector", -1}, var_room_speed{"room_speed", -1}, var_time{"time", -1},
    var_blink{"blink", -1}, var_room_width{"room_width", -1}, var_newRoom{"newRoom", -1},
    var_fadeAlpha{"fadeAlpha", -1}, var_fadeSpeed{"fadeSpeed", -1}, var_alarm{"alarm", -1},
    var_room_height{"room_height", -1};

NativeVarRef* const kVarRefs[] = {
    &var_direction,    &var_x,           &var_SoundPlay, &var_difficulty_selector,
    &var_sp,           &var_OBJ,         &var_tx,        &var_y,
    &var_ty,           &var_score_player2, &var_score_player1, &var_level_selector,
    &var_room_speed,   &var_time,        &var_blink,     &var_room_width,
    &var_newRoom,      &var_fadeAlpha,   &var_fadeSpeed, &var_alarm,
    &var_room_height,  nullptr,
};

NativeFuncRef fn_action_bounce{"action_bounce", -1}, fn_action_if_variable{"action_if_variable", -1},
    fn_action_if_number{"action_if_number", -1}, fn_action_move_to{"action_move_to", -1},
    fn_action_font{"action_font", -1}, fn_action_if_sound{"action_if_sound", -1},
    fn_action_sprite_set{"action_sprite_set", -1}, fn_draw_text_transformed{"draw_text_transformed", -1},
    fn_string{"string", -1}, fn_floor{"floor", -1}, fn_action_another_room{"action_another_room", -1},
    fn_action_effect{"action_effect", -1}, fn_draw_text{"draw_text", -1}, fn_room_goto{"room_goto", -1},
    fn_draw_rectangle_color{"draw_rectangle_color", -1};

NativeFuncRef* const kFuncRefs[] = {
    &fn_action_bounce,         &fn_action_if_variable, &fn_action_if_number,    &fn_action_move_to,
    &fn_action_font,           &fn_action_if_sound,    &fn_action_sprite_set,   &fn_draw_text_transformed,
    &fn_string,                &fn_floor,              &fn_action_another_room, &fn_action_effect,
    &fn_draw_text,             &fn_room_goto,          &fn_draw_rectangle_color, nullptr,
};

ScriptValue& Global(GlobalSlot slot) { return Code_GlobalSlots()[slot]; }

ScriptValue& Local(CObjInstance* self, InstanceSlot slot) { return self->slots[slot]; }

Value Call(const NativeFuncRef& fn, CObjInstance* self, CObjInstance* other, std::initializer_list<Value> args) {
  std::vector<ScriptValue> copies(args.size());
  size_t i = 0;
  for (const Value& a : args) ScriptValue_Copy(&copies[i++], &a.v);
  Value result;
  FunctionRegistry_Call(fn.id, self, other, &result.v, int(copies.size()), copies.data());
  for (ScriptValue& c : copies) ScriptValue_Free(&c);
  return result;
}

Value GetVar(CObjInstance* self, const NativeVarRef& var, int32_t index) {
  Value out;
  Instance_GetVar(self, var.id, index, &out.v);
  return out;
}

void SetVar(CObjInstance* self, const NativeVarRef& var, const Value& value, int32_t index) {
  Value copy(value);
  Instance_SetVar(self, var.id, index, &copy.v);
}

Value GetTargetVar(int32_t target, const NativeVarRef& var, int32_t index) {
  Value out;
  Target_GetVar(target, var.id, index, &out.v);
  return out;
}

bool Eq(double a, double b) { return Math_AbsForCompare(a - b) < g_MathEpsilon; }
bool Lt(double a, double b) { return a - b < -g_MathEpsilon; }
bool Le(double a, double b) { return a - b <= g_MathEpsilon; }
bool Gt(double a, double b) { return a - b > g_MathEpsilon; }
bool Ge(double a, double b) { return a - b >= -g_MathEpsilon; }

void Assign(ScriptValue& variable, const Value& value) { ScriptValue_Copy(&variable, &value.v); }

bool IfVariable(CObjInstance* self, CObjInstance* other, const ScriptValue& variable, double value,
                int32_t operation) {
  return Call(fn_action_if_variable, self, other, {Value(variable), value, operation}).Real() >= 0.5;
}

void AddInPlace(ScriptValue& value, double x) {
  if (value.IsString()) {
    Runtime_FatalError("unable to add a number to string");
    return;
  }
  value.real += x;
}

void Click() {
  if (Eq(Global(kSoundPlay).Real(), 1)) Action_PlaySound(2, false);
}

void SoundToggle(int32_t music) {
  ScriptValue& on = Global(kSoundPlay);
  if (Eq(on.Real(), 1)) {
    Action_StopSound(music);
    on.real = 0;
  } else if (Eq(on.Real(), 0)) {
    Action_PlaySound(music, true);
    on.real = 1;
  }
}

void MenuMusic(CObjInstance* self, CObjInstance* other) {
  if (!Eq(Global(kSoundPlay).Real(), 1)) return;
  if (Call(fn_action_if_sound, self, other, {0}).Real() == 0) Action_PlaySound(0, true);
}

}  // namespace game
