// The program's own game: the compiled-code table in code-index order, the
// name lists the compiled events bind at load, and the container linked in.
#include "core/native_game.h"
#include "game/game_code.h"
#include "game/game_runtime.h"

// The container is linked in from embedded_container.S.
extern "C" const uint8_t tw_embedded_container[];
extern "C" const uint8_t tw_embedded_container_end[];

namespace {

const NativeCodeEntry kCompiledCodeTable[] = {
    {"tws_Object_plr_1_Collision_1", tws_Object_plr_1_Collision_1},  // 0
    {"tws_Object_plr_1_KeyPress_40", tws_Object_plr_1_KeyPress_40},  // 1
    {"tws_Object_plr_1_KeyPress_38", tws_Object_plr_1_KeyPress_38},  // 2
    {"tws_Object_plr_1_KeyPress_32", tws_Object_plr_1_KeyPress_32},  // 3
    {"tws_Object_ball_1_Create_0", tws_Object_ball_1_Create_0},  // 4
    {"tws_Object_ball_1_Collision_3", tws_Object_ball_1_Collision_3},  // 5
    {"tws_Object_ball_1_Collision_1", tws_Object_ball_1_Collision_1},  // 6
    {"tws_Object_ball_1_Collision_0", tws_Object_ball_1_Collision_0},  // 7
    {"tws_Object_plr_2_Step_0", tws_Object_plr_2_Step_0},  // 8
    {"tws_Object_plr_2_Collision_1", tws_Object_plr_2_Collision_1},  // 9
    {"tws_Object_goal_plr1_Collision_2", tws_Object_goal_plr1_Collision_2},  // 10
    {"tws_Object_goal_plr2_Collision_2", tws_Object_goal_plr2_Collision_2},  // 11
    {"tws_Object_level_select_Create_0", tws_Object_level_select_Create_0},  // 12
    {"tws_Object_level_select_Step_0", tws_Object_level_select_Step_0},  // 13
    {"tws_Object_level_select_Draw_64", tws_Object_level_select_Draw_64},  // 14
    {"tws_Object_level_select_KeyPress_113", tws_Object_level_select_KeyPress_113},  // 15
    {"tws_Object_level_select_KeyPress_40", tws_Object_level_select_KeyPress_40},  // 16
    {"tws_Object_level_select_KeyPress_39", tws_Object_level_select_KeyPress_39},  // 17
    {"tws_Object_level_select_KeyPress_38", tws_Object_level_select_KeyPress_38},  // 18
    {"tws_Object_level_select_KeyPress_37", tws_Object_level_select_KeyPress_37},  // 19
    {"tws_Object_level_select_KeyPress_27", tws_Object_level_select_KeyPress_27},  // 20
    {"tws_Object_level_select_KeyPress_13", tws_Object_level_select_KeyPress_13},  // 21
    {"tws_Object_GameRunning_Create_0", tws_Object_GameRunning_Create_0},  // 22
    {"tws_Object_GameRunning_Step_0", tws_Object_GameRunning_Step_0},  // 23
    {"tws_Object_GameRunning_Draw_64", tws_Object_GameRunning_Draw_64},  // 24
    {"tws_Object_GameRunning_KeyPress_113", tws_Object_GameRunning_KeyPress_113},  // 25
    {"tws_Object_GameRunning_KeyPress_27", tws_Object_GameRunning_KeyPress_27},  // 26
    {"tws_Object_countdown_Create_0", tws_Object_countdown_Create_0},  // 27
    {"tws_Object_countdown_Step_0", tws_Object_countdown_Step_0},  // 28
    {"tws_Object_countdown_Draw_0", tws_Object_countdown_Draw_0},  // 29
    {"tws_Object_game_start_Create_0", tws_Object_game_start_Create_0},  // 30
    {"tws_Object_game_start_Draw_64", tws_Object_game_start_Draw_64},  // 31
    {"tws_Object_game_start_KeyPress_113", tws_Object_game_start_KeyPress_113},  // 32
    {"tws_Object_game_start_KeyPress_112", tws_Object_game_start_KeyPress_112},  // 33
    {"tws_Object_game_start_KeyPress_27", tws_Object_game_start_KeyPress_27},  // 34
    {"tws_Object_game_start_KeyPress_13", tws_Object_game_start_KeyPress_13},  // 35
    {"tws_Object_obj_Help_Create_0", tws_Object_obj_Help_Create_0},  // 36
    {"tws_Object_obj_Help_Draw_64", tws_Object_obj_Help_Draw_64},  // 37
    {"tws_Object_obj_Help_KeyPress_113", tws_Object_obj_Help_KeyPress_113},  // 38
    {"tws_Object_obj_Help_KeyPress_13", tws_Object_obj_Help_KeyPress_13},  // 39
    {"tws_Object_gotolevel_Create_0", tws_Object_gotolevel_Create_0},  // 40
    {"tws_Object_gotolevel_Keyboard_27", tws_Object_gotolevel_Keyboard_27},  // 41
    {"tws_Object_gotolevel_Keyboard_13", tws_Object_gotolevel_Keyboard_13},  // 42
    {"tws_Object_gotolevel_KeyPress_113", tws_Object_gotolevel_KeyPress_113},  // 43
    {"tws_Object_splash_screen_Create_0", tws_Object_splash_screen_Create_0},  // 44
    {"tws_Object_splash_screen_Alarm_0", tws_Object_splash_screen_Alarm_0},  // 45
    {"tws_Object_splash_screen_Draw_64", tws_Object_splash_screen_Draw_64},  // 46
    {"tws_Object_splash_screen_KeyPress_113", tws_Object_splash_screen_KeyPress_113},  // 47
    {"tws_Object_splash_screen_KeyPress_13", tws_Object_splash_screen_KeyPress_13},  // 48
    {"tws_Object_obj_fadetoblack_Create_0", tws_Object_obj_fadetoblack_Create_0},  // 49
    {"tws_Object_obj_fadetoblack_Alarm_0", tws_Object_obj_fadetoblack_Alarm_0},  // 50
    {"tws_Object_obj_fadetoblack_Draw_64", tws_Object_obj_fadetoblack_Draw_64},  // 51
};

}  // namespace

const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{game::kGlobalSlotCount,
                                       game::kInstanceSlotCount,
                                       uint32_t(tw_embedded_container_end - tw_embedded_container),
                                       tw_embedded_container,
                                       kCompiledCodeTable,
                                       int32_t(sizeof kCompiledCodeTable / sizeof kCompiledCodeTable[0]),
                                       game::kVarRefs,
                                       game::kFuncRefs};
  return header;
}
