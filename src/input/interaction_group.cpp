#include "input/input_builtins.h"

#include "files/files.h"

namespace {

const BuiltinGroupName kInteractionGroup[] = {
    {"splash_set_caption", 1},
    {"splash_set_fullscreen", 1},
    {"splash_set_border", 1},
    {"splash_set_size", 2},
    {"splash_set_adapt", 1},
    {"splash_set_top", 1},
    {"splash_set_color", 1},
    {"splash_set_main", 1},
    {"splash_set_scale", 1},
    {"splash_set_cursor", 1},
    {"splash_set_interrupt", 1},
    {"splash_set_stop_key", 1},
    {"splash_set_stop_mouse", 1},
    {"splash_show_video", 2},
    {"splash_show_image", 2},
    {"splash_show_text", 2},
    {"show_image", 3},
    {"show_video", 3},
    {"show_text", 4},
    {"show_message", 1},
    {"show_question", 1},
    {"show_message_async", 1},
    {"show_question_async", 1},
    {"show_error", 2},
    {"show_info", 0},
    {"load_info", 1},
    {"highscore_show", 1},
    {"highscore_set_background", 1},
    {"highscore_set_border", 1},
    {"highscore_set_font", 3},
    {"highscore_set_strings", 3},
    {"highscore_set_colors", 3},
    {"highscore_show_ext", 7},
    {"highscore_clear", 0},
    {"highscore_add", 2},
    {"highscore_add_current", 0},
    {"highscore_value", 1},
    {"highscore_name", 1},
    {"draw_highscore", 4},
    {"show_message_ext", 4},
    {"message_background", 1},
    {"message_button", 1},
    {"message_alpha", 1},
    {"message_text_font", 4},
    {"message_button_font", 4},
    {"message_input_font", 4},
    {"message_mouse_color", 1},
    {"message_input_color", 1},
    {"message_position", 2},
    {"message_size", 2},
    {"message_caption", 2},
    {"show_menu", 2},
    {"show_menu_pos", 4},
    {"get_integer", 2},
    {"get_integer_async", 2},
    {"get_string", 2},
    {"get_string_async", 2},
    {"get_login_async", 2},
    {"get_color", 1},
    {"get_open_filename", 2},
    {"get_save_filename", 2},
    {"get_open_filename_ext", 4},
    {"get_save_filename_ext", 4},
    {"get_directory", 1},
    {"get_directory_alt", 2},
    {"keyboard_get_numlock", 0},
    {"keyboard_set_numlock", 1},
    {"keyboard_key_press", 1},
    {"keyboard_key_release", 1},
    {"keyboard_set_map", 2},
    {"keyboard_get_map", 1},
    {"keyboard_unset_map", 0},
    {"keyboard_check", 1},
    {"keyboard_check_pressed", 1},
    {"keyboard_check_released", 1},
    {"keyboard_check_direct", 1},
    {"mouse_check_button", 1},
    {"mouse_check_button_pressed", 1},
    {"mouse_check_button_released", 1},
    {"mouse_wheel_up", 0},
    {"mouse_wheel_down", 0},
    {"joystick_exists", 1},
    {"joystick_direction", 1},
    {"joystick_name", 1},
    {"joystick_axes", 1},
    {"joystick_buttons", 1},
    {"joystick_has_pov", 1},
    {"joystick_check_button", 2},
    {"joystick_xpos", 1},
    {"joystick_ypos", 1},
    {"joystick_zpos", 1},
    {"joystick_rpos", 1},
    {"joystick_upos", 1},
    {"joystick_vpos", 1},
    {"joystick_pov", 1},
    {"keyboard_clear", 1},
    {"mouse_clear", 1},
    {"io_clear", 0},
    {"io_handle", 0},
    {"device_mouse_dbclick_enable", 0},
    {"keyboard_wait", 0},
    {"mouse_wait", 0},
};

const BuiltinFamily kFamilies[] = {
    Input_KeyboardBuiltins,
    Input_MouseBuiltins,
    Input_JoystickBuiltins,
    Input_HighScoreBuiltins,
    Input_DialogBuiltins,
    Input_FileDialogBuiltins,
    Input_SplashBuiltins,
    Input_MessageBuiltins,
};

}  // namespace

BuiltinGroup Input_InteractionGroup() { return {kInteractionGroup, kFamilies}; }

std::vector<BuiltinFamily> Input_InteractionFamilies(std::span<const BuiltinFamily> higher) {
  std::vector<BuiltinFamily> families(std::begin(kFamilies), std::end(kFamilies));
  families.insert(families.end(), higher.begin(), higher.end());
  return families;
}

void InitInteractionFunctions(std::span<const BuiltinFamily> higher) {
  // Dialogs shown before the game names itself carry the engine's name.
  Support_SetCaption("Tarnwicke:Rellum");
  const std::vector<BuiltinFamily> families = Input_InteractionFamilies(higher);
  BuiltinGroup_Register({kInteractionGroup, families});
}
