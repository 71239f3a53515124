// What the game's compiled events share: their value slots, the names they
// bind at load, calls of the listed built-ins, the comparisons of compiled
// code and the game's rules used by several objects.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "core/native_game.h"
#include "script/value.h"
#include "script/vm.h"

class CObjInstance;

namespace game {

enum GlobalSlot : int32_t { kSoundPlay, kDifficultySelector, kScorePlayer2, kScorePlayer1, kGlobalSlotCount };
enum InstanceSlot : int32_t {
  kSp,
  kObj,
  kTx,
  kTy,
  kLevelSelector,
  kTime,
  kBlink,
  kNewRoom,
  kFadeAlpha,
  kFadeSpeed,
  kInstanceSlotCount
};

// The variable-name list, in its order; ids are filled at load.
extern NativeVarRef var_direction, var_x, var_SoundPlay, var_difficulty_selector, var_sp, var_OBJ, var_tx, var_y,
    var_ty, var_score_player2, var_score_player1, var_level_selector, var_room_speed, var_time, var_blink,
    var_room_width, var_newRoom, var_fadeAlpha, var_fadeSpeed, var_alarm, var_room_height;
extern NativeVarRef* const kVarRefs[];

// The function-name list, in its order; ids are registry positions.
extern NativeFuncRef fn_action_bounce, fn_action_if_variable, fn_action_if_number, fn_action_move_to, fn_action_font,
    fn_action_if_sound, fn_action_sprite_set, fn_draw_text_transformed, fn_string, fn_floor, fn_action_another_room,
    fn_action_effect, fn_draw_text, fn_room_goto, fn_draw_rectangle_color;
extern NativeFuncRef* const kFuncRefs[];

ScriptValue& Global(GlobalSlot slot);
ScriptValue& Local(CObjInstance* self, InstanceSlot slot);

// A value of compiled code: real 0 at first, freed when it goes.
struct Value {
  ScriptValue v;
  Value() = default;
  Value(double x) { v.real = x; }
  Value(int x) { v.real = x; }
  Value(const char* text) { ScriptValue_SetText(&v, text); }
  // A copy of a variable's value.
  explicit Value(const ScriptValue& value) { ScriptValue_Copy(&v, &value); }
  Value(const Value& other) { ScriptValue_Copy(&v, &other.v); }
  Value& operator=(const Value&) = delete;
  ~Value() { ScriptValue_Free(&v); }
  double Real() const { return v.Real(); }
  bool IsString() const { return v.IsString(); }
};

// A listed built-in called through the registry, each argument a temporary
// of its own; the result copied out.
Value Call(const NativeFuncRef& fn, CObjInstance* self, CObjInstance* other, std::initializer_list<Value> args);

// Built-in and user variables of an instance, by their bound ids.
Value GetVar(CObjInstance* self, const NativeVarRef& var, int32_t index = -1);
void SetVar(CObjInstance* self, const NativeVarRef& var, const Value& value, int32_t index = -1);
// The variable of the instance a target denotes (-3 all, an object, an id).
Value GetTargetVar(int32_t target, const NativeVarRef& var, int32_t index = -1);

// Comparisons of compiled code, with the math epsilon.
bool Eq(double a, double b);
bool Lt(double a, double b);
bool Le(double a, double b);
bool Gt(double a, double b);
bool Ge(double a, double b);

// `variable = value`: what the variable held is released.
void Assign(ScriptValue& variable, const Value& value);

// The exact test of a drag-and-drop condition (action_if_variable).
enum IfOperation : int32_t { kEqual = 0, kSmaller = 1, kLarger = 2 };
bool IfVariable(CObjInstance* self, CObjInstance* other, const ScriptValue& variable, double value,
                int32_t operation);
// An exact comparison written in the code: a real that is x.
inline bool IsExactly(const ScriptValue& value, double x) { return value.IsReal() && value.real == x; }

// `value += x` in place: a real changes, a string is the fatal error.
void AddInPlace(ScriptValue& value, double x);

// The key click: sound 2 once while sound is on.
void Click();
// F2 in the five controllers: music `music` stops or starts with the sound.
void SoundToggle(int32_t music);
// The menu screens' create rule: sound 0 looping when sound is on and it is
// not playing already.
void MenuMusic(CObjInstance* self, CObjInstance* other);

// A `with` block: the body runs as each instance of the target, with the
// caller as other; self and other are the caller's again afterwards.
template <typename Body>
inline void With(CObjInstance*& self, CObjInstance*& other, int32_t target, Body body) {
  WithLoop loop;
  if (WithLoop_Begin(&loop, &self, &other, target) > 0) {
    do {
      body(self, other);
    } while (WithLoop_Next(&loop, &self));
  }
  WithLoop_End(&loop, &self, &other);
}

}  // namespace game
