// The match controller and the serve countdown.
#include "game/game_code.h"
#include "game/game_runtime.h"

void tws_Object_GameRunning_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_GameRunning_Step_0(CObjInstance*, CObjInstance*) {}

void tws_Object_GameRunning_Draw_64(CObjInstance*, CObjInstance*) {}

void tws_Object_GameRunning_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_GameRunning_KeyPress_27(CObjInstance*, CObjInstance*) {}

void tws_Object_countdown_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_countdown_Step_0(CObjInstance*, CObjInstance*) {}

void tws_Object_countdown_Draw_0(CObjInstance*, CObjInstance*) {}
