// The built-in variable table and the general built-in variables: look-up,
// the table's limit, get and set with rounding, read-only entries and the
// reports some writes and reads make.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/rooms.h"
#include "core/run_state.h"
#include "input/input.h"
#include "core/builtin_vars.h"
#include "script/errors.h"
#include "script/value.h"
#include "unit/world_reset.h"

namespace {

class BuiltinVars : public WorldTest {
 protected:
  BuiltinVars() : WorldTest({.noDialogs = true}) {}
  void SetUp() override {
    WorldTest::SetUp();
    room_ = std::make_unique<CGameRoom>();
    g_Run.room = room_.get();
  }

  static BuiltinVarAccess Of(const char* name) {
    int id = BuiltinVar_Find(name);
    EXPECT_GE(id, 0) << name;
    return BuiltinVar_Access(id);
  }
  static double Get(const char* name, int index = -1) {
    ScriptValue v;
    EXPECT_TRUE(Of(name).get(nullptr, index, &v)) << name;
    double r = v.Real();
    ScriptValue_Free(&v);
    return r;
  }
  static std::string GetText(const char* name, int index = -1) {
    ScriptValue v;
    EXPECT_TRUE(Of(name).get(nullptr, index, &v)) << name;
    std::string r = v.Text();
    ScriptValue_Free(&v);
    return r;
  }
  static bool Set(const char* name, double x, int index = -1) {
    ScriptValue v = ScriptValue::FromReal(x);
    BuiltinVarAccess a = Of(name);
    EXPECT_NE(a.set, nullptr) << name;
    return a.set && a.set(nullptr, index, &v);
  }
  static bool SetText(const char* name, const char* text) {
    ScriptValue v;
    ScriptValue_SetText(&v, text);
    bool ok = Of(name).set(nullptr, -1, &v);
    ScriptValue_Free(&v);
    return ok;
  }

  std::unique_ptr<CGameRoom> room_;
};

TEST_F(BuiltinVars, NamesAndIds) {
  EXPECT_GE(BuiltinVar_Find("score"), 0);
  EXPECT_EQ(BuiltinVar_Find("SCORE"), -1);
  EXPECT_EQ(BuiltinVar_Find("X"), -1);
  EXPECT_STREQ(BuiltinVar_GetName(BuiltinVar_Find("view_xview")), "view_xview");
  EXPECT_STREQ(BuiltinVar_GetName(-1), "<unknown built-in variable>");
  EXPECT_STREQ(BuiltinVar_GetName(499), "<unknown built-in variable>");
  EXPECT_STREQ(BuiltinVar_GetName(BuiltinVar_Count()), "<unknown built-in variable>");
  EXPECT_LT(BuiltinVar_Find("argument_relative"), BuiltinVar_Find("argument15"));
  EXPECT_LT(BuiltinVar_Find("current_second"), BuiltinVar_Find("os_type")) << "platform variables come last";
  EXPECT_EQ(BuiltinVar_Access(BuiltinVar_Count()).get, nullptr);
}

TEST_F(BuiltinVars, TheTableHoldsFiveHundred) {
  BuiltinVar_Clear();
  auto get = [](CObjInstance*, int32_t, ScriptValue*) { return true; };
  for (int i = 0; i < kBuiltinVarCapacity; ++i) BuiltinVar_Register("v" + std::to_string(i), get, nullptr);
  testing::internal::CaptureStderr();
  BuiltinVar_Register("one_too_many", get, nullptr);
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("INTERNAL ERROR: Adding too many variables"), std::string::npos) << shown;
  EXPECT_EQ(BuiltinVar_Count(), kBuiltinVarCapacity);
  EXPECT_EQ(BuiltinVar_Find("one_too_many"), -1);
  EXPECT_STREQ(BuiltinVar_GetName(499), "v499");
}

TEST_F(BuiltinVars, ReadOnlyVariablesHaveNoSetter) {
  const char* readOnly[] = {"argument_relative", "argument_count", "debug_mode", "room_first", "room_last",
                            "game_id", "game_guid", "event_type", "event_number", "event_object", "event_action",
                            "secure_mode", "working_directory", "temp_directory", "program_directory",
                            "room_width", "room_height", "view_current", "background_width", "background_height",
                            "mouse_x", "mouse_y", "fps", "fps_real", "current_time", "current_year",
                            "current_second", "os_type", "browser_height"};
  for (const char* name : readOnly) EXPECT_EQ(Of(name).set, nullptr) << name;
  EXPECT_NE(Of("score").set, nullptr);
}

TEST_F(BuiltinVars, WritesAreRoundedWhereTheVariableIsAnInteger) {
  struct Case {
    const char* name;
    double set;
    double read;
  } cases[] = {
      {"score", 3.5, 4},           {"score", 2.5, 2},          {"lives", -0.4, 0},
      {"health", 10.75, 10.75},    {"room_persistent", 0.5, 0}, {"room_persistent", 0.6, 1},
      {"error_occurred", 0.49, 0}, {"error_occurred", 0.5, 1},  {"transition_kind", 5, 0},
      {"transition_steps", 7.5, 8}, {"room_speed", 59.5, 60},   {"background_color", 0x123456, 0x123456},
      {"view_enabled", 2, 1},      {"cursor_sprite", 3.2, 3},   {"show_score", 0.4, 0},
      {"keyboard_key", 65.4, 65},  {"mouse_button", 2, 2},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Set(c.name, c.set)) << c.name;
    EXPECT_EQ(Get(c.name), c.read) << c.name << " = " << c.set;
  }
}

TEST_F(BuiltinVars, LayersAndViewsOutsideTheRangeAddressTheFirst) {
  room_->backgrounds[0].x = 12.25;
  room_->backgrounds[3].x = 7;
  EXPECT_EQ(Get("background_x", 12), 12.25);
  EXPECT_EQ(Get("background_x", 3), 7);
  EXPECT_TRUE(Set("view_xview", 41.5, -1));
  EXPECT_EQ(room_->views[0].xview, 42);
  EXPECT_TRUE(Set("view_angle", 10.3, 7));
  EXPECT_EQ(room_->views[7].angle, double(10.3f)) << "kept in single precision, unrounded";
  EXPECT_TRUE(Set("background_visible", 0.51, 8));
  EXPECT_TRUE(room_->backgrounds[0].visible);
  EXPECT_EQ(Get("background_width", 2), 0) << "no background resource";
}

TEST_F(BuiltinVars, RoomSpeedBelowOneIsRefusedWithItsReport) {
  room_->speed = 30;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Set("room_speed", 0.4));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(room_->speed, 30);
  ASSERT_TRUE(Error_Occurred());
  EXPECT_NE(Error_LastText().find("Trying to set the room speed to a value <= 0."), std::string::npos)
      << Error_LastText();
}

TEST_F(BuiltinVars, ArgumentsOfTheRunningCall) {
  ScriptValue slots[kScriptArgumentSlots];
  int32_t count = 2;
  int32_t relative = 1;
  slots[0].real = 5;
  ScriptValue_SetText(&slots[1], "two");
  BuiltinVar_SetArgumentSlots({slots, &count, &relative});
  EXPECT_EQ(Get("argument_count"), 2);
  EXPECT_EQ(Get("argument_relative"), 1);
  EXPECT_EQ(Get("argument", 0), 5);
  EXPECT_EQ(GetText("argument", 1), "two");
  EXPECT_EQ(GetText("argument1"), "two");
  EXPECT_FALSE(Error_Occurred());

  struct Case {
    int index;
    double read;
  } beyond[] = {{2, 0}, {15, 0}, {16, 0}, {-1, 0}};
  for (const Case& c : beyond) {
    Error_ResetForTests();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Get("argument", c.index), c.read) << c.index;
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(Error_Occurred()) << c.index;
    EXPECT_NE(Error_LastText().find("illegal access of argument, argument is not provided to script"),
              std::string::npos);
  }
  EXPECT_TRUE(Set("argument", 9, 20));  // outside the slots: slot 0
  EXPECT_EQ(slots[0].Real(), 9);
  EXPECT_TRUE(Set("argument3", 4, 2));  // element 2 of slot 3
  ASSERT_TRUE(slots[3].IsArray());
  EXPECT_EQ(Get("argument3", 2), 4);
  BuiltinVar_SetArgumentSlots({});
  for (ScriptValue& v : slots) ScriptValue_Free(&v);
}

TEST_F(BuiltinVars, TextsAreKeptAsCopies) {
  {
    ScriptValue temporary;
    ScriptValue_SetText(&temporary, "Points: ");
    EXPECT_TRUE(Of("caption_score").set(nullptr, -1, &temporary));
    ScriptValue_Free(&temporary);
  }
  EXPECT_EQ(GetText("caption_score"), "Points: ");
  EXPECT_TRUE(g_Run.caption_changed == false);
  EXPECT_TRUE(Set("show_score", 1));
  EXPECT_TRUE(g_Run.caption_changed);
  EXPECT_TRUE(SetText("room_caption", "Level 1"));
  EXPECT_EQ(room_->caption, "Level 1");
  EXPECT_TRUE(SetText("error_last", "oops"));
  EXPECT_EQ(GetText("error_last"), "oops");
  EXPECT_EQ(GetText("game_guid"), "");
  EXPECT_TRUE(SetText("keyboard_string", "abc"));
  EXPECT_EQ(GetText("keyboard_string"), "abc");
  EXPECT_TRUE(SetText("keyboard_lastchar", "Zed"));
  EXPECT_EQ(GetText("keyboard_lastchar"), "Z");
}

TEST_F(BuiltinVars, WithoutARoomReadsGiveZero) {
  g_Run.room = nullptr;
  EXPECT_EQ(Get("room_width"), 0);
  EXPECT_EQ(Get("view_xview", 2), 0);
  EXPECT_TRUE(Set("view_xview", 5, 2));
  EXPECT_EQ(GetText("room_caption"), "");
}

}  // namespace
