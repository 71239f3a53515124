// The splash screen, the fade and the result screens.
#include <cmath>

#include "actions/actions.h"
#include "core/instance_commands.h"
#include "core/instance_vars.h"
#include "draw/draw.h"
#include "game/game_code.h"
#include "game/game_ids.h"
#include "game/game_runtime.h"
#include "script/value.h"

using namespace game;

namespace {

// Alarm 0 in one second: room_speed steps, cut to whole steps.
void AlarmInOneSecond(CObjInstance* self) {
  const Value speed = GetVar(self, var_room_speed);
  Action_SetAlarm(self, std::trunc(speed.Real()), 0);
}

}  // namespace

// ---- Result screens ---------------------------------------------------------

void tws_Object_gotolevel_Create_0(CObjInstance*, CObjInstance*) {
  if (Eq(Global(kSoundPlay).Real(), 1)) Action_PlaySound(kSoundResultMusic, true);
}

void tws_Object_gotolevel_Keyboard_27(CObjInstance* self, CObjInstance* other) {
  Click();
  Call(fn_action_another_room, self, other, {kRoomChooseLevel});
}

void tws_Object_gotolevel_Keyboard_13(CObjInstance* self, CObjInstance* other) {
  Action_StopSound(kSoundResultMusic);
  Click();
  Call(fn_action_another_room, self, other, {kRoomChooseLevel});
}

void tws_Object_gotolevel_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundResultMusic); }

// ---- Splash -----------------------------------------------------------------

void tws_Object_splash_screen_Create_0(CObjInstance* self, CObjInstance* other) {
  Assign(Global(kSoundPlay), 1);
  Call(fn_action_font, self, other, {0, 0});
  if (Call(fn_action_if_sound, self, other, {kSoundMenuMusic}).Real() < 0.5) Action_PlaySound(kSoundMenuMusic, true);
  AlarmInOneSecond(self);
  Assign(Local(self, kBlink), 0);
}

void tws_Object_splash_screen_Alarm_0(CObjInstance* self, CObjInstance*) {
  ScriptValue& blink = Local(self, kBlink);
  if (IsExactly(blink, 0)) {
    Assign(blink, 1);
    AlarmInOneSecond(self);
  } else if (IsExactly(blink, 1)) {
    Assign(blink, 0);
    AlarmInOneSecond(self);
  }
}

void tws_Object_splash_screen_Draw_64(CObjInstance* self, CObjInstance* other) {
  Direct_DrawSetColour(kBlack);
  Direct_DrawSetHAlign(1);
  Direct_DrawSetVAlign(1);
  if (!Eq(Local(self, kBlink).Real(), 1)) return;
  Value x = GetVar(self, var_room_width);
  if (x.v.IsReal()) x.v.real *= 0.5;
  Call(fn_draw_text_transformed, self, other, {x, 380, "- Press Enter -", 1.5, 1.5, 0});
}

void tws_Object_splash_screen_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundMenuMusic); }

void tws_Object_splash_screen_KeyPress_13(CObjInstance*, CObjInstance*) {
  Click();
  const int32_t fade = Instance_CreateAt(0, 0, kObjFadeToBlack);
  Value room(kRoomMenu);
  Target_SetSlotElement(fade, kNewRoom, -1, &room.v);
}

// ---- Fade to black ----------------------------------------------------------

void tws_Object_obj_fadetoblack_Create_0(CObjInstance* self, CObjInstance*) {
  Assign(Local(self, kFadeAlpha), 0.5);
  Assign(Local(self, kNewRoom), 0);
  Assign(Local(self, kFadeSpeed), 5);
  Action_SetAlarm(self, 5, 0);
}

void tws_Object_obj_fadetoblack_Alarm_0(CObjInstance* self, CObjInstance* other) {
  SetVar(self, var_alarm, Value(Local(self, kFadeSpeed)), 0);
  AddInPlace(Local(self, kFadeAlpha), 0.05);
  if (!Ge(Local(self, kFadeAlpha).Real(), 1)) return;
  Call(fn_room_goto, self, other, {Value(Local(self, kNewRoom))});
  Instance_DestroySelf(self);
}

void tws_Object_obj_fadetoblack_Draw_64(CObjInstance* self, CObjInstance* other) {
  Direct_DrawSetAlpha(float(Local(self, kFadeAlpha).Real()));
  Call(fn_draw_rectangle_color, self, other,
       {0, 0, GetVar(self, var_room_width), GetVar(self, var_room_height), 0, 0, 0, 0, 0});
  Direct_DrawSetAlpha(1);
}
