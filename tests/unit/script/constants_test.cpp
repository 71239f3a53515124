// Constants: the built-in table, game constants from text, and resolution
// order between resources and constants.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/options.h"
#include "runner/startup.h"
#include "script/constants.h"
#include "script/value.h"
#include "resolved.h"
#include "unit/world_reset.h"

namespace {

using fixture::Resolved;

class Constants : public WorldTest {
 protected:
  Constants() : WorldTest({.builtinVariables = false, .builtinConstants = false, .noDialogs = true}) {}
};

int32_t SpriteLookup(std::string_view name) { return name == "c_red" ? 4 : name == "spr_both" ? 9 : -1; }
int32_t ScriptLookup(std::string_view name) { return name == "spr_both" ? 2 : -1; }

TEST_F(Constants, BuiltinsHaveTheirValues) {
  Constant_RegisterBuiltins();
  EXPECT_EQ(Constant_Count(), 365 + 73) << "the engine's own, then the platform's";
  struct Case {
    const char* name;
    double value;
  } cases[] = {
      {"self", -1},           {"local", -7},          {"pi", 3.1415927410125732}, {"c_orange", 4235519},
      {"c_red", 255},         {"bm_src_alpha_sat", 11}, {"vk_enter", 13},         {"vk_f12", 123},
      {"vk_numpad9", 105},    {"vk_rcontrol", 163},   {"gp_axisrv", 32788},       {"ev_joystick2_button8", 43},
      {"ev_user15", 25},      {"ev_gui", 64},         {"cr_size_all", -22},       {"ef_snow", 11},
      {"phy_joint_angle", 8}, {"lb_disp_time_ms", 3}, {"fa_archive", 32},         {"fa_center", 1},
      {"timezone_local", 0},  {"timezone_utc", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Resolved(c.name), c.value) << c.name;
  ScriptValue v;
  EXPECT_FALSE(Constant_Resolve("bm_inv_dest_color", &v));
  EXPECT_FALSE(Constant_Resolve("cr_size", &v));
}

TEST_F(Constants, PlatformFamiliesFollowTheEnginesOwn) {
  Constant_RegisterBuiltins();
  struct Case {
    const char* name;
    double value;
  } cases[] = {
      {"os_unknown", -1},
      {"os_win32", 0},
      {"os_windows", 0},
      {"os_linux", 6},
      {"os_win8native", 9},
      {"os_llvm_win32", 65536},
      {"os_llvm_winphone", 65543},
      {"device_ios_unknown", -1},
      {"device_ios_iphone5", 4},
      {"device_emulator", 256},
      {"device_tablet", 2},
      {"browser_not_a_browser", -1},
      {"browser_ie_mobile", 10},
      {"of_challenge_tie", 2},
      {"leaderboard_type_time_mins_secs", 1},
      {"achievement_our_info", 1002},
      {"achievement_challenge_launched", 1011},
      {"achievement_filter_friends_only", 1},
      {"achievement_type_achievement_score", 1},
      {"asset_unknown", -1},
      {"asset_object", 0},
      {"asset_sound", 2},
      {"asset_timeline", 8},
      {"ds_type_map", 1},
      {"ds_type_queue", 4},
  };
  for (const Case& c : cases) EXPECT_EQ(Resolved(c.name), c.value) << c.name;
  ScriptValue v;
  EXPECT_FALSE(Constant_Resolve("ds_type_grid", &v)) << "only the four listed kinds";
  EXPECT_FALSE(Constant_Resolve("os_llvm_tizen", &v));
}

TEST_F(Constants, NamesAreCheckedAndTrimmed) {
  struct Case {
    const char* name;
    bool valid;
  } cases[] = {{"_", true}, {"", false}, {"a1_b", true}, {"1abc", false}, {"my-name", false},
               {"caf\xc3\xa9", false}, {"A", true}};
  for (const Case& c : cases) EXPECT_EQ(Constant_IsValidName(c.name), c.valid) << c.name;

  EXPECT_TRUE(Constant_AddFromText(" \t SPEED\r\n", "4"));
  EXPECT_EQ(Resolved("SPEED"), 4);
  EXPECT_TRUE(Constant_AddFromText("\xc2\xa0WIDE\xc2\xa0", "1"));  // bytes from 128 are trimmed too
  EXPECT_EQ(Resolved("WIDE"), 1);
  EXPECT_FALSE(Constant_AddFromText("9lives", "1"));
  EXPECT_FALSE(Constant_AddFromText("bad-name", "1"));
  ScriptValue v;
  EXPECT_FALSE(Constant_Resolve("9lives", &v));
}

TEST_F(Constants, GameConstantsTakeTheValueTheirTextGives) {
  Constant_RegisterBuiltins();
  struct Case {
    const char* text;
    bool isString;
    double real;
    const char* string;
  } cases[] = {
      {"42", false, 42, ""},         {"-2.5", false, -2.5, ""},     {" 1e3 ", false, 1000, ""},
      {"$FF", false, 255, ""},       {"0x10", false, 16, ""},       {".5", false, 0.5, ""},
      {"\"hi there\"", true, 0, "hi there"}, {"'x'", true, 0, "x"}, {"c_red", false, 255, ""},
      {"inf", false, 0, ""},         {"nan", false, 0, ""},         {"1 + 2", false, 0, ""},
      {"", false, 0, ""},            {"$", false, 0, ""},           {"\"open", false, 0, ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Constant_AddFromText("K", c.text)) << c.text;
    ScriptValue v;
    ASSERT_TRUE(Constant_Resolve("K", &v));
    EXPECT_EQ(v.IsString(), c.isString) << c.text;
    if (c.isString) {
      EXPECT_STREQ(v.Text(), c.string) << c.text;
    } else {
      EXPECT_EQ(v.Real(), c.real) << c.text;
    }
    ScriptValue_Free(&v);
  }
}

TEST_F(Constants, PrepareStopsAtTheFirstBadName) {
  GameOptions& o = Options_Mutable();
  o.constant_names = {"A", "B", "3C", "D"};
  o.constant_values = {"1", "2", "3", "4"};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Code_Constant_Prepare());
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("Constant name 3C  is not valid."), std::string::npos) << shown;
  EXPECT_EQ(Resolved("B"), 2);
  ScriptValue v;
  EXPECT_FALSE(Constant_Resolve("D", &v));
  o.constant_names = {"E"};
  o.constant_values = {"5"};
  EXPECT_TRUE(Code_Constant_Prepare());
  EXPECT_EQ(Resolved("E"), 5);
}

TEST_F(Constants, ResolutionOrder) {
  Constant_RegisterBuiltins();
  Constant_AddReal("twice", 1);
  Constant_AddReal("twice", 2);
  EXPECT_EQ(Resolved("twice"), 2) << "the newest definition wins";
  ASSERT_NE(Constant_Find("TWICE"), nullptr);
  EXPECT_EQ(Constant_Find("TWICE")->Real(), 2);
  ASSERT_NE(Constant_Find("C_RED"), nullptr);
  EXPECT_EQ(Constant_Find("C_RED")->Real(), 255);
  EXPECT_EQ(Constant_Find("no_such"), nullptr);
  ScriptValue v;
  v.real = 99;
  EXPECT_FALSE(Constant_Resolve("C_RED", &v)) << "resolution is case-sensitive";
  EXPECT_EQ(v.Real(), 0);

  Constant_SetResourceLookup(ResourceKind::kSprite, SpriteLookup);
  Constant_SetResourceLookup(ResourceKind::kScript, ScriptLookup);
  EXPECT_EQ(Resolved("c_red"), 4) << "a sprite hides the constant";
  EXPECT_EQ(Resolved("spr_both"), 9) << "sprites come before scripts";
  Constant_SetResourceLookup(ResourceKind::kSprite, nullptr);
  EXPECT_EQ(Resolved("spr_both"), 2);
  EXPECT_EQ(Resolved("c_red"), 255);
}

}  // namespace
