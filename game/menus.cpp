// The title menu, the level selection and the help screen.
#include "game/game_code.h"
#include "game/game_runtime.h"

void tws_Object_level_select_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_Step_0(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_Draw_64(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_40(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_39(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_38(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_37(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_27(CObjInstance*, CObjInstance*) {}

void tws_Object_level_select_KeyPress_13(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_Draw_64(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_KeyPress_112(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_KeyPress_27(CObjInstance*, CObjInstance*) {}

void tws_Object_game_start_KeyPress_13(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_Help_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_Help_Draw_64(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_Help_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_Help_KeyPress_13(CObjInstance*, CObjInstance*) {}
