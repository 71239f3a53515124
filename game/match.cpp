// The match controller and the serve countdown.
#include "actions/actions.h"
#include "draw/draw.h"
#include "game/game_code.h"
#include "game/game_ids.h"
#include "game/game_runtime.h"
#include "script/value.h"

using namespace game;

namespace {

constexpr int32_t kWinningScore = 10;

// string(floor(score)) appended to the line.
void AppendScore(StringBuilder& line, CObjInstance* self, CObjInstance* other, GlobalSlot score) {
  const Value whole = Call(fn_floor, self, other, {Value(Global(score))});
  const Value text = Call(fn_string, self, other, {whole});
  StringBuilder_Append(&line, text.v.Text());
}

}  // namespace

void tws_Object_GameRunning_Create_0(CObjInstance* self, CObjInstance* other) {
  Call(fn_action_font, self, other, {0, 0});
  Assign(Global(kScorePlayer2), 0);
  Assign(Global(kScorePlayer1), 0);
  Action_StopSound(kSoundMenuMusic);
  if (Eq(Global(kSoundPlay).Real(), 1)) Action_PlaySound(kSoundMatchMusic, true);
}

void tws_Object_GameRunning_Step_0(CObjInstance* self, CObjInstance* other) {
  if (IfVariable(self, other, Global(kScorePlayer1), kWinningScore, kEqual)) {
    Action_StopSound(kSoundMatchMusic);
    Call(fn_action_another_room, self, other, {kRoomWin});
  } else if (IfVariable(self, other, Global(kScorePlayer2), kWinningScore, kEqual)) {
    Action_StopSound(kSoundMatchMusic);
    Call(fn_action_another_room, self, other, {kRoomLose});
  }
}

void tws_Object_GameRunning_Draw_64(CObjInstance* self, CObjInstance* other) {
  Direct_DrawSetColour(kBlack);
  StringBuilder line;
  AppendScore(line, self, other, kScorePlayer1);
  StringBuilder_Append(&line, " : ");
  AppendScore(line, self, other, kScorePlayer2);
  Call(fn_draw_text_transformed, self, other, {280, 0, line.data, 1.5, 1.5, 0});
  CodeMem_Free(line.data);
}

void tws_Object_GameRunning_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundMatchMusic); }

void tws_Object_GameRunning_KeyPress_27(CObjInstance* self, CObjInstance* other) {
  Click();
  Action_StopSound(kSoundMatchMusic);
  Call(fn_action_another_room, self, other, {kRoomChooseLevel});
}

void tws_Object_countdown_Create_0(CObjInstance* self, CObjInstance*) {
  Value steps = GetVar(self, var_room_speed);
  if (steps.v.IsReal()) steps.v.real *= 3;
  Assign(Local(self, kTime), steps);
}

// Three seconds after its creation the countdown serves a ball from the
// middle with a ring, and goes.
void tws_Object_countdown_Step_0(CObjInstance* self, CObjInstance* other) {
  Action_SetRelative(1);
  AddInPlace(Local(self, kTime), -1);
  if (IfVariable(self, other, Local(self, kTime), 0, kEqual)) {
    Action_SetRelative(0);
    Call(fn_action_effect, self, other, {1, 320, 205, 1, kWhite, 1});
    Action_CreateObject(self, kObjBall, 320, 205);
    Action_KillObject(self);
  }
  Action_SetRelative(0);
}

// Nothing in the first step, then a second each of "Ready", "Set" and "GO".
void tws_Object_countdown_Draw_0(CObjInstance* self, CObjInstance* other) {
  const double t = Local(self, kTime).Real();
  if (Lt(t, 179) && Ge(t, 120)) {
    Direct_DrawSetColour(kRed);
    Call(fn_draw_text, self, other, {288, 192, "Ready"});
  }
  if (Lt(t, 120) && Ge(t, 60)) {
    Direct_DrawSetColour(kYellow);
    Call(fn_draw_text_transformed, self, other, {288, 184, "Set", 2, 2, 0});
  }
  if (Lt(t, 60)) {
    Direct_DrawSetColour(kGreen);
    Call(fn_draw_text_transformed, self, other, {288, 178, "GO", 3, 3, 0});
  }
}
