// The game's compiled events, one function per entry of the compiled-code
// table (embedded_game.cpp holds the table in code-index order).
#pragma once

class CObjInstance;

// The paddles, the ball and the goals. (paddles.cpp)
void tws_Object_plr_1_Collision_1(CObjInstance* self, CObjInstance* other);
void tws_Object_plr_1_KeyPress_40(CObjInstance* self, CObjInstance* other);
void tws_Object_plr_1_KeyPress_38(CObjInstance* self, CObjInstance* other);
void tws_Object_plr_1_KeyPress_32(CObjInstance* self, CObjInstance* other);
void tws_Object_ball_1_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_ball_1_Collision_3(CObjInstance* self, CObjInstance* other);
void tws_Object_ball_1_Collision_1(CObjInstance* self, CObjInstance* other);
void tws_Object_ball_1_Collision_0(CObjInstance* self, CObjInstance* other);
void tws_Object_plr_2_Step_0(CObjInstance* self, CObjInstance* other);
void tws_Object_plr_2_Collision_1(CObjInstance* self, CObjInstance* other);
void tws_Object_goal_plr1_Collision_2(CObjInstance* self, CObjInstance* other);
void tws_Object_goal_plr2_Collision_2(CObjInstance* self, CObjInstance* other);

// The match controller and the serve countdown. (match.cpp)
void tws_Object_GameRunning_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_GameRunning_Step_0(CObjInstance* self, CObjInstance* other);
void tws_Object_GameRunning_Draw_64(CObjInstance* self, CObjInstance* other);
void tws_Object_GameRunning_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_GameRunning_KeyPress_27(CObjInstance* self, CObjInstance* other);
void tws_Object_countdown_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_countdown_Step_0(CObjInstance* self, CObjInstance* other);
void tws_Object_countdown_Draw_0(CObjInstance* self, CObjInstance* other);

// The title menu, the level selection and the help screen. (menus.cpp)
void tws_Object_level_select_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_Step_0(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_Draw_64(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_40(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_39(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_38(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_37(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_27(CObjInstance* self, CObjInstance* other);
void tws_Object_level_select_KeyPress_13(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_Draw_64(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_KeyPress_112(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_KeyPress_27(CObjInstance* self, CObjInstance* other);
void tws_Object_game_start_KeyPress_13(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_Help_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_Help_Draw_64(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_Help_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_Help_KeyPress_13(CObjInstance* self, CObjInstance* other);

// The splash screen, the fade and the result screens. (screens.cpp)
void tws_Object_gotolevel_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_gotolevel_Keyboard_27(CObjInstance* self, CObjInstance* other);
void tws_Object_gotolevel_Keyboard_13(CObjInstance* self, CObjInstance* other);
void tws_Object_gotolevel_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_splash_screen_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_splash_screen_Alarm_0(CObjInstance* self, CObjInstance* other);
void tws_Object_splash_screen_Draw_64(CObjInstance* self, CObjInstance* other);
void tws_Object_splash_screen_KeyPress_113(CObjInstance* self, CObjInstance* other);
void tws_Object_splash_screen_KeyPress_13(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_fadetoblack_Create_0(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_fadetoblack_Alarm_0(CObjInstance* self, CObjInstance* other);
void tws_Object_obj_fadetoblack_Draw_64(CObjInstance* self, CObjInstance* other);
