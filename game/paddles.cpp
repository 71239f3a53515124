// The paddles, the ball and the goals.
#include "actions/actions.h"
#include "game/game_code.h"
#include "game/game_ids.h"
#include "game/game_runtime.h"
#include "script/builtins_math.h"
#include "script/targets.h"
#include "script/vm.h"

using namespace game;

namespace {

constexpr const char* kStop = "000010000";

// The ball turns off a paddle by how far from the paddle's middle it hit.
void BounceOffPaddle(CObjInstance* self, CObjInstance* other, bool precise) {
  Call(fn_action_bounce, self, other, {precise ? 1 : 0, 1});
  Value turn(GetVar(self, var_x));
  const Value otherX = GetVar(other, var_x);
  if (turn.v.IsReal() && otherX.v.IsReal()) turn.v.real -= otherX.v.real;
  Value direction = GetVar(self, var_direction);
  if (direction.v.IsString()) {
    if (turn.v.IsString()) {
      char* joined = String_Concat(direction.v.text, turn.v.text);
      ScriptValue_SetText(&direction.v, joined);
      CodeMem_Free(joined);
    }
  } else if (turn.v.IsReal()) {
    direction.v.real += turn.v.real;
  }
  SetVar(self, var_direction, direction);
  Click();
}

// A ball in a goal: the ball goes, the serve is prepared and the scorer
// gets a point; the goal on the right creates the countdown before its sound.
void Goal(CObjInstance* self, CObjInstance* other, GlobalSlot scorer, bool countdownFirst) {
  Action_SetRelative(0);
  With(self, other, kInstanceOther, [](CObjInstance* ball, CObjInstance*) { Action_KillObject(ball); });
  if (countdownFirst) Action_CreateObject(self, kObjCountdown, 0, 0);
  if (Eq(Global(kSoundPlay).Real(), 1)) Action_PlaySound(kSoundGoal, false);
  if (!countdownFirst) Action_CreateObject(self, kObjCountdown, 0, 0);
  Action_SetRelative(1);
  AddInPlace(Global(scorer), 1);
  Action_SetRelative(0);
  With(self, other, kObjPlayer,
       [](CObjInstance* paddle, CObjInstance* goal) { Call(fn_action_move_to, paddle, goal, {64, 224}); });
  With(self, other, kObjComputer,
       [](CObjInstance* paddle, CObjInstance* goal) { Call(fn_action_move_to, paddle, goal, {576, 224}); });
  Action_SetRelative(0);
}

}  // namespace

void tws_Object_plr_1_Collision_1(CObjInstance* self, CObjInstance*) { Action_Move(self, kStop, 0); }

void tws_Object_plr_1_KeyPress_40(CObjInstance* self, CObjInstance*) { Action_Move(self, "010000000", 4); }

void tws_Object_plr_1_KeyPress_38(CObjInstance* self, CObjInstance*) { Action_Move(self, "000000010", 4); }

void tws_Object_plr_1_KeyPress_32(CObjInstance* self, CObjInstance*) { Action_Move(self, kStop, 0); }

void tws_Object_ball_1_Create_0(CObjInstance* self, CObjInstance*) { Action_Move(self, "101000101", 5); }

void tws_Object_ball_1_Collision_3(CObjInstance* self, CObjInstance* other) { BounceOffPaddle(self, other, false); }

void tws_Object_ball_1_Collision_1(CObjInstance* self, CObjInstance* other) {
  Call(fn_action_bounce, self, other, {0, 1});
}

void tws_Object_ball_1_Collision_0(CObjInstance* self, CObjInstance* other) { BounceOffPaddle(self, other, true); }

// The computer follows the ball's height at the difficulty's speed while a
// ball is in play.
void tws_Object_plr_2_Step_0(CObjInstance* self, CObjInstance* other) {
  if (Call(fn_action_if_number, self, other, {kObjBall, 1, 0}).Real() < 0.5) return;
  const double difficulty = Global(kDifficultySelector).Real();
  if (Eq(difficulty, 1)) Assign(Local(self, kSp), 1.5);
  if (Eq(difficulty, 2)) Assign(Local(self, kSp), 2.5);
  if (Eq(difficulty, 3)) Assign(Local(self, kSp), 3.5);
  Assign(Local(self, kObj), kObjBall);
  Assign(Local(self, kTx), GetVar(self, var_x));
  Assign(Local(self, kTy), GetTargetVar(int32_t(Local(self, kObj).Real()), var_y));

  const double sp = Local(self, kSp).Real();
  const double tx = Local(self, kTx).Real();
  const double ty = Local(self, kTy).Real();
  const double x = GetVar(self, var_x).Real();
  if (Le(Math_Abs(tx - x), sp)) {
    const double y = GetVar(self, var_y).Real();
    if (Gt(Math_Abs(ty - y), sp)) {
      SetVar(self, var_x, tx);
      Value newY = GetVar(self, var_y);
      AddInPlace(newY.v, Math_Sign(ty - y) * sp);
      SetVar(self, var_y, newY);
    } else {
      SetVar(self, var_y, ty);
    }
  } else {
    SetVar(self, var_x, x + Math_Sign(tx - x) * sp);
  }
}

void tws_Object_plr_2_Collision_1(CObjInstance* self, CObjInstance*) { Action_Move(self, kStop, 0); }

void tws_Object_goal_plr1_Collision_2(CObjInstance* self, CObjInstance* other) {
  Goal(self, other, kScorePlayer2, false);
}

void tws_Object_goal_plr2_Collision_2(CObjInstance* self, CObjInstance* other) {
  Goal(self, other, kScorePlayer1, true);
}
