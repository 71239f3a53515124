#include "actions/actions.h"

#include "actions/action_group.h"
#include "script/builtin_args.h"

namespace {

const BuiltinGroupName kActionGroup[] = {
    {"action_path_old", 3},
    {"action_set_sprite", 2},
    {"action_draw_font", 1},
    {"action_draw_font_old", 6},
    {"action_fill_color", 1},
    {"action_fill_colour", 1},
    {"action_line_color", 1},
    {"action_line_colour", 1},
    {"action_highscore", 0},
    {"action_set_relative", 1},
    {"action_move", 2},
    {"action_set_motion", 2},
    {"action_set_hspeed", 1},
    {"action_set_vspeed", 1},
    {"action_set_gravity", 2},
    {"action_set_friction", 1},
    {"action_move_point", 3},
    {"action_move_to", 2},
    {"action_move_start", 0},
    {"action_move_random", 2},
    {"action_snap", 2},
    {"action_wrap", 1},
    {"action_reverse_xdir", 0},
    {"action_reverse_ydir", 0},
    {"action_move_contact", 3},
    {"action_bounce", 2},
    {"action_path", 4},
    {"action_path_end", 0},
    {"action_path_position", 1},
    {"action_path_speed", 1},
    {"action_linear_step", 4},
    {"action_potential_step", 4},
    {"action_kill_object", 0},
    {"action_create_object", 3},
    {"action_create_object_motion", 5},
    {"action_create_object_random", 6},
    {"action_change_object", 2},
    {"action_kill_position", 2},
    {"action_sprite_set", 3},
    {"action_sprite_transform", 4},
    {"action_sprite_color", 2},
    {"action_sprite_colour", 2},
    {"action_sound", 2},
    {"action_end_sound", 1},
    {"action_if_sound", 1},
    {"action_another_room", 2},
    {"action_current_room", 1},
    {"action_previous_room", 1},
    {"action_next_room", 1},
    {"action_if_previous_room", 0},
    {"action_if_next_room", 0},
    {"action_set_alarm", 2},
    {"action_sleep", 2},
    {"action_set_timeline", 2},
    {"action_set_timeline_position", 1},
    {"action_set_timeline_speed", 1},
    {"action_timeline_set", 4},
    {"action_timeline_start", 0},
    {"action_timeline_pause", 0},
    {"action_timeline_stop", 0},
    {"action_message", 1},
    {"action_show_info", 0},
    {"action_show_video", 3},
    {"action_end_game", 0},
    {"action_restart_game", 0},
    {"action_save_game", 1},
    {"action_load_game", 1},
    {"action_replace_sprite", 3},
    {"action_replace_sound", 2},
    {"action_replace_background", 2},
    {"action_if_empty", 3},
    {"action_if_collision", 3},
    {"action_if", 1},
    {"action_if_number", 3},
    {"action_if_object", 3},
    {"action_if_question", 1},
    {"action_if_dice", 1},
    {"action_if_mouse", 1},
    {"action_if_aligned", 2},
    {"action_execute_script", 6},
    {"action_inherited", 0},
    {"action_if_variable", 3},
    {"action_draw_variable", 3},
    {"action_set_score", 1},
    {"action_if_score", 2},
    {"action_draw_score", 3},
    {"action_highscore_show", 11},
    {"action_highscore_clear", 0},
    {"action_set_life", 1},
    {"action_if_life", 2},
    {"action_draw_life", 3},
    {"action_draw_life_images", 3},
    {"action_set_health", 1},
    {"action_if_health", 2},
    {"action_draw_health", 6},
    {"action_set_caption", 6},
    {"action_partsyst_create", 1},
    {"action_partsyst_destroy", 0},
    {"action_partsyst_clear", 0},
    {"action_parttype_create_old", 6},
    {"action_parttype_create", 6},
    {"action_parttype_color", 6},
    {"action_parttype_colour", 6},
    {"action_parttype_life", 3},
    {"action_parttype_speed", 6},
    {"action_parttype_gravity", 3},
    {"action_parttype_secondary", 5},
    {"action_partemit_create", 6},
    {"action_partemit_destroy", 1},
    {"action_partemit_burst", 3},
    {"action_partemit_stream", 3},
    {"action_cd_play", 2},
    {"action_cd_stop", 0},
    {"action_cd_pause", 0},
    {"action_cd_resume", 0},
    {"action_cd_present", 0},
    {"action_cd_playing", 0},
    {"action_set_cursor", 2},
    {"action_webpage", 1},
    {"action_draw_sprite", 4},
    {"action_draw_background", 4},
    {"action_draw_text", 3},
    {"action_draw_text_transformed", 6},
    {"action_draw_rectangle", 5},
    {"action_draw_gradient_hor", 6},
    {"action_draw_gradient_vert", 6},
    {"action_draw_ellipse", 5},
    {"action_draw_ellipse_gradient", 6},
    {"action_draw_line", 4},
    {"action_draw_arrow", 5},
    {"action_color", 1},
    {"action_colour", 1},
    {"action_font", 2},
    {"action_fullscreen", 1},
    {"action_snapshot", 1},
    {"action_effect", 6},
};

bool g_relative = false;

// The names the editor no longer offers: old games still call them.
TW_BUILTIN(Action_Retired) {}

const NamedBuiltin kRetired[] = {
    {"action_path_old", Action_Retired},     {"action_draw_font", Action_Retired},
    {"action_draw_font_old", Action_Retired}, {"action_fill_color", Action_Retired},
    {"action_fill_colour", Action_Retired},   {"action_line_color", Action_Retired},
    {"action_line_colour", Action_Retired},   {"action_highscore", Action_Retired},
};

std::span<const NamedBuiltin> RetiredBuiltins() { return kRetired; }

TW_BUILTIN(action_set_relative) { g_relative = HalfFlagArg(argc, args, 0); }

const NamedBuiltin kRelative[] = {{"action_set_relative", action_set_relative}};

std::span<const NamedBuiltin> RelativeBuiltins() { return kRelative; }

// A new family joins here and in action_group.h.
const BuiltinFamily kFamilies[] = {
    RetiredBuiltins,          RelativeBuiltins,        Action_MoveBuiltins,     Action_InstanceBuiltins,
    Action_GameBuiltins,      Action_ResourceBuiltins, Action_SaveBuiltins,     Action_DrawBuiltins,
    Action_ParticleBuiltins,
};

}  // namespace

BuiltinGroup Action_Group() { return {kActionGroup, kFamilies}; }

void InitActionFunctions() {
  ActionParticles_Reset();
  BuiltinGroup_Register(Action_Group());
}

void Action_Reset() {
  g_relative = false;
  ActionParticles_Reset();
}

bool Action_GetRelative() { return g_relative; }

bool Action_SetRelative(uint8_t flag) {
  g_relative = flag != 0;
  return g_relative;
}
