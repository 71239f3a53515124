#include "motion/game_builtins.h"
#include "motion/motion.h"
#include "script/builtin_args.h"

namespace {

const BuiltinGroupName kGameGroup[] = {
    // Motion.
    {"move_random", 2},
    {"place_free", 2},
    {"place_empty", 2},
    {"place_meeting", 3},
    {"place_snapped", 2},
    {"move_snap", 2},
    {"move_towards_point", 3},
    {"move_contact", 1},
    {"move_contact_solid", 2},
    {"move_contact_all", 2},
    {"move_outside_solid", 2},
    {"move_outside_all", 2},
    {"move_bounce", 1},
    {"move_bounce_solid", 1},
    {"move_bounce_all", 1},
    {"move_wrap", 3},
    {"motion_set", 2},
    {"motion_add", 2},
    {"distance_to_point", 2},
    {"distance_to_object", 1},
    {"path_start", 4},
    {"path_end", 0},
    // Motion planning.
    {"mp_linear_step", 4},
    {"mp_linear_path", 5},
    {"mp_linear_step_object", 4},
    {"mp_linear_path_object", 5},
    {"mp_potential_settings", 4},
    {"mp_potential_step", 4},
    {"mp_potential_path", 6},
    {"mp_potential_step_object", 4},
    {"mp_potential_path_object", 6},
    // Motion-planning grids.
    {"mp_grid_create", 6},
    {"mp_grid_destroy", 1},
    {"mp_grid_clear_all", 1},
    {"mp_grid_clear_cell", 3},
    {"mp_grid_clear_rectangle", 5},
    {"mp_grid_add_cell", 3},
    {"mp_grid_add_rectangle", 5},
    {"mp_grid_add_instances", 3},
    {"mp_grid_path", 7},
    {"mp_grid_draw", 1},
    // Collision and instance queries.
    {"collision_point", 5},
    {"collision_rectangle", 7},
    {"collision_circle", 6},
    {"collision_ellipse", 7},
    {"collision_line", 7},
    {"instance_find", 2},
    {"instance_exists", 1},
    {"instance_number", 1},
    {"instance_position", 3},
    {"instance_nearest", 3},
    {"instance_furthest", 3},
    {"instance_place", 3},
    // Instances.
    {"instance_create", 3},
    {"instance_copy", 1},
    {"instance_change", 2},
    {"instance_destroy", 0},
    {"instance_sprite", 1},
    {"position_empty", 2},
    {"position_meeting", 3},
    {"position_destroy", 2},
    {"position_change", 4},
    // Activation.
    {"instance_deactivate_all", 1},
    {"instance_deactivate_object", 1},
    {"instance_deactivate_region", 6},
    {"instance_activate_all", 0},
    {"instance_activate_object", 1},
    {"instance_activate_region", 5},
    // Rooms and the game.
    {"room_goto", 1},
    {"room_goto_previous", 0},
    {"room_goto_next", 0},
    {"room_previous", 1},
    {"room_next", 1},
    {"room_restart", 0},
    {"game_end", 0},
    {"game_restart", 0},
    {"game_load", 1},
    {"game_save", 1},
    {"game_save_buffer", 1},
    {"game_load_buffer", 1},
    {"transition_define", 2},
    {"transition_exists", 1},
    {"sleep", 1},
};

// A new family joins here and in game_builtins.h.
const BuiltinFamily kFamilies[] = {
    Motion_GridBuiltins,
    Motion_InstanceBuiltins,
    Motion_MoveBuiltins,
    Motion_PlanningBuiltins,
    Motion_QueryBuiltins,
    Motion_RoomBuiltins,
};

}  // namespace

BuiltinGroup Motion_GameGroup() { return {kGameGroup, kFamilies}; }

void InitGameFunctions() { BuiltinGroup_Register(Motion_GameGroup()); }
