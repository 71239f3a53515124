#include "script/constants.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/console.h"
#include "script/value.h"

namespace {

struct ConstantTable {
  std::vector<std::string> names;
  std::vector<ScriptValue> values;
};
ConstantTable g_table;

// In ResourceKind order; each table's owner installs its look-up.
ResourceFindFn g_lookups[int(ResourceKind::kCount)] = {};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Bytes that read as a signed byte of 32 or less: blanks, controls and every
// byte from 128 on.
bool IsTrimmed(char c) { return static_cast<signed char>(c) <= 32; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

bool HexDigits(std::string_view text, double* out) {
  if (text.empty() || text.size() > 16) return false;
  uint64_t v = 0;
  for (char c : text) {
    int d = IsDigit(c) ? c - '0' : (Lower(c) >= 'a' && Lower(c) <= 'f') ? Lower(c) - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | uint64_t(d);
  }
  *out = double(v);
  return true;
}

// Plain decimal notation only: strtod alone would also take "inf", "nan"
// and hexadecimal floats.
bool ParseNumber(std::string_view text, double* out) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  double v = 0;
  if (!text.empty() && text[0] == '$') {
    if (!HexDigits(text.substr(1), &v)) return false;
  } else if (text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x') {
    if (!HexDigits(text.substr(2), &v)) return false;
  } else {
    if (text.empty() || !(IsDigit(text[0]) || text[0] == '.')) return false;
    bool digits = false;
    for (char c : text) {
      if (IsDigit(c)) digits = true;
      else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return false;
    }
    if (!digits) return false;
    std::string copy(text);
    char* end = nullptr;
    v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return false;
  }
  *out = negative ? -v : v;
  return true;
}

// The value a game constant's text gives; false when the text is none of
// the forms understood.
bool ValueFromText(std::string_view text, ScriptValue* out) {
  text = Trim(text);
  double number = 0;
  if (ParseNumber(text, &number)) {
    ScriptValue_Free(out);
    *out = ScriptValue::FromReal(number);
    return true;
  }
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
    std::string inner(text.substr(1, text.size() - 2));
    if (inner.find(text.front()) != std::string::npos) return false;
    ScriptValue_SetText(out, inner.c_str());
    return true;
  }
  if (Constant_IsValidName(text)) return Constant_Resolve(text, out);
  return false;
}

struct Builtin {
  const char* name;
  double value;
};

// In registration order.
const Builtin kBuiltins[] = {
    {"self", -1}, {"other", -2}, {"all", -3}, {"noone", -4}, {"global", -5}, {"local", -7},
    {"true", 1}, {"false", 0}, {"pi", double(3.1415927f)},
    {"pr_pointlist", 1}, {"pr_linelist", 2}, {"pr_linestrip", 3}, {"pr_trianglelist", 4},
    {"pr_trianglestrip", 5}, {"pr_trianglefan", 6},
    {"c_aqua", 16776960}, {"c_black", 0}, {"c_blue", 16711680}, {"c_dkgray", 4210752},
    {"c_fuchsia", 16711935}, {"c_gray", 8421504}, {"c_green", 32768}, {"c_lime", 65280},
    {"c_ltgray", 12632256}, {"c_maroon", 128}, {"c_navy", 8388608}, {"c_olive", 32896},
    {"c_purple", 8388736}, {"c_red", 255}, {"c_silver", 12632256}, {"c_teal", 8421376},
    {"c_white", 16777215}, {"c_yellow", 65535}, {"c_orange", 4235519},
    {"bm_normal", 0}, {"bm_add", 1}, {"bm_max", 2}, {"bm_subtract", 3}, {"bm_zero", 1}, {"bm_one", 2},
    {"bm_src_color", 3}, {"bm_src_colour", 3}, {"bm_inv_src_color", 4}, {"bm_inv_src_colour", 4},
    {"bm_src_alpha", 5}, {"bm_inv_src_alpha", 6}, {"bm_dest_alpha", 7}, {"bm_inv_dest_alpha", 8},
    {"bm_dest_color", 9}, {"bm_dest_colour", 9}, {"bm_inv_dest_colour", 10}, {"bm_src_alpha_sat", 11},
    {"se_none", 0}, {"se_chorus", 1}, {"se_echo", 2}, {"se_flanger", 4}, {"se_gargle", 8},
    {"se_reverb", 16}, {"se_compressor", 32}, {"se_equalizer", 64},
    {"fa_left", 0}, {"fa_center", 1}, {"fa_right", 2}, {"fa_top", 0}, {"fa_middle", 1}, {"fa_bottom", 2},
    {"mb_any", -1}, {"mb_none", 0}, {"mb_left", 1}, {"mb_right", 2}, {"mb_middle", 3},
    {"vk_nokey", 0}, {"vk_anykey", 1}, {"vk_enter", 13}, {"vk_return", 13}, {"vk_shift", 16},
    {"vk_control", 17}, {"vk_alt", 18}, {"vk_escape", 27}, {"vk_space", 32}, {"vk_backspace", 8},
    {"vk_tab", 9}, {"vk_pause", 19}, {"vk_printscreen", 44}, {"vk_left", 37}, {"vk_right", 39},
    {"vk_up", 38}, {"vk_down", 40}, {"vk_home", 36}, {"vk_end", 35}, {"vk_delete", 46},
    {"vk_insert", 45}, {"vk_pageup", 33}, {"vk_pagedown", 34},
    {"vk_f1", 112}, {"vk_f2", 113}, {"vk_f3", 114}, {"vk_f4", 115}, {"vk_f5", 116}, {"vk_f6", 117},
    {"vk_f7", 118}, {"vk_f8", 119}, {"vk_f9", 120}, {"vk_f10", 121}, {"vk_f11", 122}, {"vk_f12", 123},
    {"vk_numpad0", 96}, {"vk_numpad1", 97}, {"vk_numpad2", 98}, {"vk_numpad3", 99}, {"vk_numpad4", 100},
    {"vk_numpad5", 101}, {"vk_numpad6", 102}, {"vk_numpad7", 103}, {"vk_numpad8", 104},
    {"vk_numpad9", 105}, {"vk_divide", 111}, {"vk_multiply", 106}, {"vk_subtract", 109},
    {"vk_add", 107}, {"vk_decimal", 110}, {"vk_lshift", 160}, {"vk_lcontrol", 162}, {"vk_lalt", 164},
    {"vk_rshift", 161}, {"vk_rcontrol", 163}, {"vk_ralt", 165},
    {"gp_face1", 32769}, {"gp_face2", 32770}, {"gp_face3", 32771}, {"gp_face4", 32772},
    {"gp_shoulderl", 32773}, {"gp_shoulderr", 32774}, {"gp_shoulderlb", 32775}, {"gp_shoulderrb", 32776},
    {"gp_select", 32777}, {"gp_start", 32778}, {"gp_stickl", 32779}, {"gp_stickr", 32780},
    {"gp_padu", 32781}, {"gp_padd", 32782}, {"gp_padl", 32783}, {"gp_padr", 32784},
    {"gp_axislh", 32785}, {"gp_axislv", 32786}, {"gp_axisrh", 32787}, {"gp_axisrv", 32788},
    {"ev_create", 0}, {"ev_destroy", 1}, {"ev_step", 3}, {"ev_alarm", 2}, {"ev_keyboard", 5},
    {"ev_mouse", 6}, {"ev_collision", 4}, {"ev_other", 7}, {"ev_draw", 8}, {"ev_keypress", 9},
    {"ev_keyrelease", 10},
    {"ev_left_button", 0}, {"ev_right_button", 1}, {"ev_middle_button", 2}, {"ev_no_button", 3},
    {"ev_left_press", 4}, {"ev_right_press", 5}, {"ev_middle_press", 6}, {"ev_left_release", 7},
    {"ev_right_release", 8}, {"ev_middle_release", 9}, {"ev_mouse_enter", 10}, {"ev_mouse_leave", 11},
    {"ev_global_press", 12}, {"ev_global_release", 13},
    {"ev_joystick1_left", 16}, {"ev_joystick1_right", 17}, {"ev_joystick1_up", 18},
    {"ev_joystick1_down", 19}, {"ev_joystick1_button1", 21}, {"ev_joystick1_button2", 22},
    {"ev_joystick1_button3", 23}, {"ev_joystick1_button4", 24}, {"ev_joystick1_button5", 25},
    {"ev_joystick1_button6", 26}, {"ev_joystick1_button7", 27}, {"ev_joystick1_button8", 28},
    {"ev_joystick2_left", 31}, {"ev_joystick2_right", 32}, {"ev_joystick2_up", 33},
    {"ev_joystick2_down", 34}, {"ev_joystick2_button1", 36}, {"ev_joystick2_button2", 37},
    {"ev_joystick2_button3", 38}, {"ev_joystick2_button4", 39}, {"ev_joystick2_button5", 40},
    {"ev_joystick2_button6", 41}, {"ev_joystick2_button7", 42}, {"ev_joystick2_button8", 43},
    {"ev_global_left_button", 50}, {"ev_global_right_button", 51}, {"ev_global_middle_button", 52},
    {"ev_global_left_press", 53}, {"ev_global_right_press", 54}, {"ev_global_middle_press", 55},
    {"ev_global_left_release", 56}, {"ev_global_right_release", 57}, {"ev_global_middle_release", 58},
    {"ev_mouse_wheel_up", 60}, {"ev_mouse_wheel_down", 61},
    {"ev_outside", 0}, {"ev_boundary", 1}, {"ev_game_start", 2}, {"ev_game_end", 3},
    {"ev_room_start", 4}, {"ev_room_end", 5}, {"ev_no_more_lives", 6}, {"ev_animation_end", 7},
    {"ev_end_of_path", 8}, {"ev_no_more_health", 9},
    {"ev_user0", 10}, {"ev_user1", 11}, {"ev_user2", 12}, {"ev_user3", 13}, {"ev_user4", 14},
    {"ev_user5", 15}, {"ev_user6", 16}, {"ev_user7", 17}, {"ev_user8", 18}, {"ev_user9", 19},
    {"ev_user10", 20}, {"ev_user11", 21}, {"ev_user12", 22}, {"ev_user13", 23}, {"ev_user14", 24},
    {"ev_user15", 25}, {"ev_close_button", 30},
    {"ev_step_normal", 0}, {"ev_step_begin", 1}, {"ev_step_end", 2}, {"ev_gui", 64},
    {"ty_real", 0}, {"ty_string", 1}, {"dll_cdecl", 0}, {"dll_stdcall", 1},
    {"fa_readonly", 1}, {"fa_hidden", 2}, {"fa_sysfile", 4}, {"fa_volumeid", 8}, {"fa_directory", 16},
    {"fa_archive", 32},
    {"cr_default", 0}, {"cr_none", -1}, {"cr_arrow", -2}, {"cr_cross", -3}, {"cr_beam", -4},
    {"cr_size_nesw", -6}, {"cr_size_ns", -7}, {"cr_size_nwse", -8}, {"cr_size_we", -9},
    {"cr_uparrow", -10}, {"cr_hourglass", -11}, {"cr_drag", -12}, {"cr_nodrop", -13}, {"cr_hsplit", -14},
    {"cr_vsplit", -15}, {"cr_multidrag", -16}, {"cr_sqlwait", -17}, {"cr_no", -18}, {"cr_appstart", -19},
    {"cr_help", -20}, {"cr_handpoint", -21}, {"cr_size_all", -22},
    {"pt_shape_pixel", 0}, {"pt_shape_disk", 1}, {"pt_shape_square", 2}, {"pt_shape_line", 3},
    {"pt_shape_star", 4}, {"pt_shape_circle", 5}, {"pt_shape_ring", 6}, {"pt_shape_sphere", 7},
    {"pt_shape_flare", 8}, {"pt_shape_spark", 9}, {"pt_shape_explosion", 10}, {"pt_shape_cloud", 11},
    {"pt_shape_smoke", 12}, {"pt_shape_snow", 13},
    {"ps_distr_linear", 0}, {"ps_distr_gaussian", 1}, {"ps_distr_invgaussian", 2},
    {"ps_shape_rectangle", 0}, {"ps_shape_ellipse", 1}, {"ps_shape_diamond", 2}, {"ps_shape_line", 3},
    {"ps_force_constant", 0}, {"ps_force_linear", 1}, {"ps_force_quadratic", 2},
    {"ps_deflect_vertical", 0}, {"ps_deflect_horizontal", 1},
    {"ps_change_all", 0}, {"ps_change_shape", 1}, {"ps_change_motion", 2},
    {"ef_explosion", 0}, {"ef_ring", 1}, {"ef_ellipse", 2}, {"ef_firework", 3}, {"ef_smoke", 4},
    {"ef_smokeup", 5}, {"ef_star", 6}, {"ef_spark", 7}, {"ef_flare", 8}, {"ef_cloud", 9}, {"ef_rain", 10},
    {"ef_snow", 11},
    {"display_landscape", 0}, {"display_portrait", 1}, {"display_landscape_flipped", 2},
    {"display_portrait_flipped", 3},
    {"phy_joint_anchor_1_x", 0}, {"phy_joint_anchor_1_y", 1}, {"phy_joint_anchor_2_x", 2},
    {"phy_joint_anchor_2_y", 3}, {"phy_joint_reaction_force_x", 4}, {"phy_joint_reaction_force_y", 5},
    {"phy_joint_reaction_torque", 6}, {"phy_joint_angle", 8}, {"phy_joint_motor_speed", 7},
    {"phy_joint_motor_torque", 9}, {"phy_joint_max_motor_torque", 10}, {"phy_joint_translation", 11},
    {"phy_joint_speed", 12}, {"phy_joint_motor_force", 13}, {"phy_joint_max_motor_force", 14},
    {"phy_joint_length_1", 15}, {"phy_joint_length_2", 16}, {"phy_joint_damping_ratio", 17},
    {"phy_joint_frequency", 18},
    {"phy_debug_render_shapes", 1}, {"phy_debug_render_joints", 2}, {"phy_debug_render_coms", 4},
    {"phy_debug_render_aabb", 8}, {"phy_debug_render_obb", 16}, {"phy_debug_render_core_shapes", 32},
    {"phy_debug_render_collision_pairs", 64},
    {"audio_falloff_none", 0}, {"audio_falloff_inverse_distance", 1},
    {"audio_falloff_inverse_distance_clamped", 2}, {"audio_falloff_linear_distance", 3},
    {"audio_falloff_linear_distance_clamped", 4}, {"audio_falloff_exponent_distance", 5},
    {"audio_falloff_exponent_distance_clamped", 6}, {"audio_old_system", 0}, {"audio_new_system", 1},
    {"ov_friends", 0}, {"ov_community", 1}, {"ov_players", 2}, {"ov_settings", 3}, {"ov_gamegroup", 4},
    {"ov_achievements", 5},
    {"lb_sort_none", 0}, {"lb_sort_ascending", 1}, {"lb_sort_descending", 2},
    {"lb_disp_none", 0}, {"lb_disp_numeric", 1}, {"lb_disp_time_sec", 2}, {"lb_disp_time_ms", 3},
    {"timezone_local", 0}, {"timezone_utc", 1},
};

// The platform's families, registered after the engine's own.
const Builtin kPlatformConstants[] = {
    {"os_unknown", -1}, {"os_win32", 0}, {"os_windows", 0}, {"os_macosx", 1}, {"os_psp", 2}, {"os_ios", 3},
    {"os_android", 4}, {"os_symbian", 5}, {"os_linux", 6}, {"os_winphone", 7}, {"os_tizen", 8},
    {"os_win8native", 9},
    {"os_llvm_win32", 65536}, {"os_llvm_macosx", 65537}, {"os_llvm_psp", 65538}, {"os_llvm_ios", 65539},
    {"os_llvm_android", 65540}, {"os_llvm_symbian", 65541}, {"os_llvm_linux", 65542},
    {"os_llvm_winphone", 65543},
    {"device_ios_unknown", -1}, {"device_ios_iphone", 0}, {"device_ios_iphone_retina", 1}, {"device_ios_ipad", 2},
    {"device_ios_ipad_retina", 3}, {"device_ios_iphone5", 4}, {"device_emulator", 256}, {"device_tablet", 2},
    {"browser_not_a_browser", -1}, {"browser_unknown", 0}, {"browser_ie", 1}, {"browser_firefox", 2},
    {"browser_chrome", 3}, {"browser_safari", 4}, {"browser_safari_mobile", 5}, {"browser_opera", 6},
    {"browser_android_default", 7}, {"browser_windows_store", 8}, {"browser_tizen", 9},
    {"browser_ie_mobile", 10},
    {"of_challenge_win", 0}, {"of_challenge_lose", 1}, {"of_challenge_tie", 2}, {"leaderboard_type_number", 0},
    {"leaderboard_type_time_mins_secs", 1},
    {"achievement_our_info", 1002}, {"achievement_friends_info", 1003}, {"achievement_leaderboard_info", 1004},
    {"achievement_achievement_info", 1005}, {"achievement_pic_loaded", 1006},
    {"achievement_challenge_completed", 1007}, {"achievement_challenge_completed_by_remote", 1008},
    {"achievement_challenge_received", 1009}, {"achievement_challenge_list_received", 1010},
    {"achievement_challenge_launched", 1011},
    {"achievement_filter_all_players", 0}, {"achievement_filter_friends_only", 1},
    {"achievement_type_achievement_challenge", 0}, {"achievement_type_achievement_score", 1},
    {"asset_unknown", -1}, {"asset_object", 0}, {"asset_sprite", 1}, {"asset_sound", 2}, {"asset_room", 3},
    {"asset_background", 4}, {"asset_path", 5}, {"asset_script", 6}, {"asset_font", 7}, {"asset_timeline", 8},
    {"ds_type_map", 1}, {"ds_type_list", 2}, {"ds_type_stack", 3}, {"ds_type_queue", 4},
};

}  // namespace

int32_t Constant_Count() { return int32_t(g_table.names.size()); }

void Constant_Add(std::string_view name, const ScriptValue& value) {
  g_table.names.emplace_back(name);
  g_table.values.emplace_back();
  ScriptValue_Copy(&g_table.values.back(), &value);
}

void Constant_AddReal(std::string_view name, double value) { Constant_Add(name, ScriptValue::FromReal(value)); }

bool Constant_IsValidName(std::string_view name) {
  if (name.empty() || !(IsLetter(name[0]) || name[0] == '_')) return false;
  for (char c : name.substr(1))
    if (!(IsLetter(c) || IsDigit(c) || c == '_')) return false;
  return true;
}

bool Constant_AddFromText(std::string_view nameText, std::string_view valueText) {
  std::string_view name = Trim(nameText);
  if (!Constant_IsValidName(name)) return false;
  ScriptValue value;
  if (!ValueFromText(valueText, &value)) {
    ScriptValue_Free(&value);
    value = ScriptValue{};
    g_DebugConsole->Output("Constant %.*s: value \"%.*s\" not understood, using 0\n", int(name.size()), name.data(),
                           int(valueText.size()), valueText.data());
  }
  Constant_Add(name, value);
  ScriptValue_Free(&value);
  return true;
}

bool Constant_Resolve(std::string_view name, ScriptValue* out) {
  ScriptValue_Free(out);
  *out = ScriptValue{};
  for (ResourceFindFn find : g_lookups) {
    if (!find) continue;
    int32_t index = find(name);
    if (index >= 0) {
      out->real = index;
      return true;
    }
  }
  for (size_t i = g_table.names.size(); i-- > 0;) {
    if (g_table.names[i] == name) {
      ScriptValue_Copy(out, &g_table.values[i]);
      return true;
    }
  }
  return false;
}

const ScriptValue* Constant_Find(std::string_view name) {
  for (size_t i = g_table.names.size(); i-- > 0;)
    if (EqualIgnoringCase(g_table.names[i], name)) return &g_table.values[i];
  return nullptr;
}

bool Constant_BuiltinValue(std::string_view name, double* value) {
  for (const Builtin& b : kBuiltins) {
    if (name == b.name) {
      *value = b.value;
      return true;
    }
  }
  return false;
}

void Platform_RegisterConstants() {
  for (const Builtin& b : kPlatformConstants) Constant_AddReal(b.name, b.value);
}

void Constant_RegisterBuiltins() {
  for (const Builtin& b : kBuiltins) Constant_AddReal(b.name, b.value);
  Platform_RegisterConstants();
}

void Constant_FreeAll() {
  for (ScriptValue& v : g_table.values) ScriptValue_Free(&v);
  g_table = ConstantTable{};
}

void Constant_SetResourceLookup(ResourceKind kind, ResourceFindFn find) {
  if (int(kind) < 0 || kind >= ResourceKind::kCount) return;
  g_lookups[int(kind)] = find;
}

void Constant_ResetResourceLookups() {
  for (ResourceFindFn& find : g_lookups) find = nullptr;
}
