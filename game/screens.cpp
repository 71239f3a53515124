// The splash screen, the fade and the result screens.
#include "game/game_code.h"
#include "game/game_runtime.h"

void tws_Object_gotolevel_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_gotolevel_Keyboard_27(CObjInstance*, CObjInstance*) {}

void tws_Object_gotolevel_Keyboard_13(CObjInstance*, CObjInstance*) {}

void tws_Object_gotolevel_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_splash_screen_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_splash_screen_Alarm_0(CObjInstance*, CObjInstance*) {}

void tws_Object_splash_screen_Draw_64(CObjInstance*, CObjInstance*) {}

void tws_Object_splash_screen_KeyPress_113(CObjInstance*, CObjInstance*) {}

void tws_Object_splash_screen_KeyPress_13(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_fadetoblack_Create_0(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_fadetoblack_Alarm_0(CObjInstance*, CObjInstance*) {}

void tws_Object_obj_fadetoblack_Draw_64(CObjInstance*, CObjInstance*) {}
