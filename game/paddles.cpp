// The paddles, the ball and the goals.
#include "game/game_code.h"
#include "game/game_runtime.h"

void tws_Object_plr_1_Collision_1(CObjInstance*, CObjInstance*) {}

void tws_Object_plr_1_KeyPress_40(CObjInstance*, CObjInstance*) {}

void tws_Object_plr_1_KeyPress_38(CObjInstance*, CObjInstance*) {}

void tws_Object_plr_1_KeyPress_32(CObjInstance*, CObjInstance*) {}

void tws_Object_ball_1_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_ball_1_Collision_3(CObjInstance*, CObjInstance*) {}

void tws_Object_ball_1_Collision_1(CObjInstance*, CObjInstance*) {}

void tws_Object_ball_1_Collision_0(CObjInstance*, CObjInstance*) {}

void tws_Object_plr_2_Step_0(CObjInstance*, CObjInstance*) {}

void tws_Object_plr_2_Collision_1(CObjInstance*, CObjInstance*) {}

void tws_Object_goal_plr1_Collision_2(CObjInstance*, CObjInstance*) {}

void tws_Object_goal_plr2_Collision_2(CObjInstance*, CObjInstance*) {}
