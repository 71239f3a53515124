// The "Interaction.." group's registration and its keyboard, mouse and
// joystick built-ins, called through the registry as scripts call them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "draw/draw_builtins.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/joystick.h"
#include "script/builtin_args.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

// ---- Registration -----------------------------------------------------------------

const BuiltinFamily kDrawn[] = {Draw_HighScoreBuiltins};

TEST(InteractionGroup, RegistersInTheGroupsOrderWithItsCounts) {
  World_Reset();
  InitInteractionFunctions(kDrawn);
  EXPECT_EQ(Input_InteractionGroup().order.size(), 102u);
  const std::vector<BuiltinFamily> families = Input_InteractionFamilies(kDrawn);
  ExpectGroupRegistered({Input_InteractionGroup().order, families});
  // The whole group, the drawn table from the layer above among it, in its
  // place between highscore_name and show_message_ext.
  EXPECT_EQ(FunctionRegistry_Count(), 102);
  EXPECT_EQ(FunctionRegistry_Find("draw_highscore"), FunctionRegistry_Find("highscore_name") + 1);
  EXPECT_EQ(FunctionRegistry_Find("show_message_ext"), FunctionRegistry_Find("draw_highscore") + 1);
  World_Clear();
}

TEST(InteractionGroup, WithoutTheHigherFamiliesTheirNamesAreLeftOut) {
  World_Reset();
  InitInteractionFunctions();
  EXPECT_EQ(FunctionRegistry_Count(), 101);
  EXPECT_LT(FunctionRegistry_Find("draw_highscore"), 0);
  ExpectGroupRegistered(Input_InteractionGroup());
  World_Clear();
}

// ---- Calls --------------------------------------------------------------------------

int g_pumpCalls = 0;
int g_pumpDeliversAt = 0;     // the call on which a key or button goes down
int g_pumpClosesAt = 0;       // the call on which the window closes
bool g_pumpDeliversButton = false;

bool FakePump() {
  ++g_pumpCalls;
  if (g_pumpCalls == g_pumpClosesAt) return false;
  if (g_pumpCalls == g_pumpDeliversAt) {
    if (g_pumpDeliversButton)
      Input_OnMouseDown(2, 0, 0);
    else
      Input_OnKeyDown(70, 0, 0);
  }
  return true;
}

class InteractionBuiltins : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    IO_Init();
    IO_Update();
    InitInteractionFunctions();
    g_pumpCalls = g_pumpDeliversAt = g_pumpClosesAt = 0;
    g_pumpDeliversButton = false;
    wasVirtual_ = Clock_IsVirtual();
    IO_SetMessagePump(nullptr);
  }
  void TearDown() override {
    IO_SetMessagePump(nullptr);
    Clock_SetVirtual(wasVirtual_);
    IO_Shutdown();
    WorldTest::TearDown();
  }

  // Calls `name` with exactly these values in a block of their own.
  static double Call(const std::string& name, const std::vector<double>& values = {}) {
    ScriptValue result;
    CallInto(name, values, &result);
    double r = result.Real();
    ScriptValue_Free(&result);
    return r;
  }
  static std::string CallText(const std::string& name, const std::vector<double>& values) {
    ScriptValue result;
    CallInto(name, values, &result);
    std::string text = result.IsString() ? result.Text() : "(not a string)";
    ScriptValue_Free(&result);
    return text;
  }
  static void CallInto(const std::string& name, const std::vector<double>& values, ScriptValue* result) {
    const int index = FunctionRegistry_Find(name);
    ASSERT_GE(index, 0) << name;
    auto args = std::make_unique<ScriptValue[]>(values.size());
    for (size_t i = 0; i < values.size(); ++i) args[i].real = values[i];
    FunctionRegistry_Call(index, nullptr, nullptr, result, int(values.size()), args.get());
  }

  bool wasVirtual_ = false;
};

// No built-in of the group reads past the values its caller passed (the
// sanitizer build sees a read beyond the block).
TEST_F(InteractionBuiltins, NoBuiltinReadsBeyondItsArguments) {
  IO_SetMessagePump([] { return false; });  // the waits return at once
  int called = 0;
  for (const BuiltinGroupName& n : Input_InteractionGroup().order) {
    const int index = FunctionRegistry_Find(n.name);
    if (index < 0) continue;
    for (int argc : {0, n.args}) {
      auto args = std::make_unique<ScriptValue[]>(size_t(argc));
      ScriptValue result;
      FunctionRegistry_Call(index, nullptr, nullptr, &result, argc, args.get());
      ScriptValue_Free(&result);
      ++called;
    }
  }
  EXPECT_EQ(called, 2 * 101);
}

struct KeyCase {
  const char* builtin;
  double key;
  double expected;
};

// Key 65 is held and was pressed this step; key 66 was released.
TEST_F(InteractionBuiltins, KeyboardChecksWithTheTwoSpecialCodes) {
  const KeyCase cases[] = {
      {"keyboard_check", 65, 1},          {"keyboard_check", 65.4, 1},
      {"keyboard_check", 64.5, 0},        // halves to even: 64
      {"keyboard_check", 66, 0},          {"keyboard_check", 0, 0},   // vk_nokey: a key is down
      {"keyboard_check", 1, 1},           // vk_anykey
      {"keyboard_check", 256, 0},         {"keyboard_check", -1, 0},
      {"keyboard_check", NAN, 0},         {"keyboard_check", 1e300, 0},
      {"keyboard_check_pressed", 65, 1},  {"keyboard_check_pressed", 1, 1},
      {"keyboard_check_pressed", 0, 0},   {"keyboard_check_pressed", 66, 0},
      {"keyboard_check_released", 66, 1}, {"keyboard_check_released", 65, 0},
      {"keyboard_check_released", 1, 1},  {"keyboard_check_released", 0, 0},
  };
  Input_OnKeyDown(66, 0, 0);
  IO_Update();
  Input_OnKeyUp(66, 0);
  Input_OnKeyDown(65, 0, 0);
  IO_Update();
  for (const KeyCase& c : cases) EXPECT_EQ(Call(c.builtin, {c.key}), c.expected) << c.builtin << "(" << c.key << ")";
}

TEST_F(InteractionBuiltins, NoKeyAndAnyKeyInAStepWithoutKeys) {
  EXPECT_EQ(Call("keyboard_check", {0}), 1);
  EXPECT_EQ(Call("keyboard_check", {1}), 0);
  EXPECT_EQ(Call("keyboard_check_pressed", {0}), 1);
  EXPECT_EQ(Call("keyboard_check_released", {1}), 0);
  // Key 1 alone held: "any" sees it, code 1 is not a key of its own.
  g_InputState.keys_down[1] = 1;
  EXPECT_EQ(Call("keyboard_check", {1}), 1);
  EXPECT_EQ(Call("keyboard_check", {0}), 0);
}

TEST_F(InteractionBuiltins, KeyMapRemapsWindowKeysAndNeverWritesOutsideTheTable) {
  Call("keyboard_set_map", {65, 66});
  EXPECT_EQ(Call("keyboard_get_map", {65}), 66);
  Input_OnKeyDown(65, 0, 0);
  IO_Update();
  EXPECT_EQ(Call("keyboard_check", {66}), 1);
  EXPECT_EQ(Call("keyboard_check", {65}), 0);
  Input_OnKeyUp(65, 0);
  IO_Update();

  // A key mapped below 0 or above 255 disappears; nothing else moves.
  for (double to : {-1.0, 256.0, -2147483648.0, 1e300}) {
    Call("keyboard_set_map", {65, to});
    const InputPending before = g_InputPending;
    Input_OnKeyDown(65, 0, 0);
    Input_OnKeyUp(65, 0);
    EXPECT_EQ(std::memcmp(&before, &g_InputPending, sizeof before), 0) << to;
  }
  Call("keyboard_set_map", {65, NAN});
  EXPECT_EQ(Call("keyboard_get_map", {65}), 0);  // NaN converts to 0

  // Keys outside the table are never written; their map reads back as given.
  const InputState state = g_InputState;
  for (double key : {-1.0, 256.0, 1e10, -1e10}) Call("keyboard_set_map", {key, 7});
  EXPECT_EQ(std::memcmp(&state, &g_InputState, sizeof state), 0);
  EXPECT_EQ(Call("keyboard_get_map", {-1}), -1);
  EXPECT_EQ(Call("keyboard_get_map", {1e10}), 2147483647);

  Call("keyboard_unset_map");
  EXPECT_EQ(Call("keyboard_get_map", {65}), 65);
}

TEST_F(InteractionBuiltins, KeyboardClearAndIoClearPumpThenForget) {
  IO_SetMessagePump(FakePump);
  Input_OnKeyDown(65, 0, 0);
  Input_OnKeyDown(66, 0, 0);
  Input_OnMouseDown(1, 0, 0);
  IO_Update();
  Call("keyboard_clear", {65});
  EXPECT_EQ(g_pumpCalls, 1);
  EXPECT_EQ(Call("keyboard_check", {65}), 0);
  EXPECT_EQ(Call("keyboard_check", {66}), 1);
  Call("io_clear");
  EXPECT_EQ(g_pumpCalls, 2);
  EXPECT_EQ(Call("keyboard_check", {1}), 0);
  EXPECT_EQ(Call("mouse_check_button", {1}), 0);
  Call("io_handle");
  EXPECT_EQ(g_pumpCalls, 3);
}

TEST_F(InteractionBuiltins, MouseChecksWithAnyAndNone) {
  Input_OnMouseDown(3, 0, 0);
  IO_Update();
  Input_OnMouseDown(2, 0, 0);
  Input_OnMouseUp(3, 0, 0);
  IO_Update();
  // Button 2 held and pressed, 3 released.
  const KeyCase cases[] = {
      {"mouse_check_button", -1, 1},          {"mouse_check_button", 0, 0},
      {"mouse_check_button", 2, 1},           {"mouse_check_button", 1, 0},
      {"mouse_check_button", 3, 0},           {"mouse_check_button", 4, 0},
      {"mouse_check_button", -2, 0},          {"mouse_check_button_pressed", 2, 1},
      {"mouse_check_button_pressed", -1, 1},  {"mouse_check_button_pressed", 3, 0},
      {"mouse_check_button_released", 3, 1},  {"mouse_check_button_released", 0, 0},
      {"mouse_check_button_released", 2, 0},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Call(c.builtin, {c.key}), c.expected) << c.builtin << "(" << c.key << ")";
  Input_OnMouseUp(2, 0, 0);
  IO_Update();
  IO_Update();
  EXPECT_EQ(Call("mouse_check_button", {0}), 1);
  EXPECT_EQ(Call("mouse_check_button", {-1}), 0);
}

TEST_F(InteractionBuiltins, MouseWheelAndClear) {
  Input_OnWheelDown();
  Input_OnMouseDown(1, 0, 0);
  Input_OnMouseDown(2, 0, 0);
  Input_OnMouseDown(3, 0, 0);
  IO_Update();
  EXPECT_EQ(Call("mouse_wheel_up"), 0);
  EXPECT_EQ(Call("mouse_wheel_down"), 1);
  Call("mouse_clear", {2});
  EXPECT_EQ(Call("mouse_check_button", {2}), 0);
  EXPECT_EQ(Call("mouse_check_button", {1}), 1);
  // The integer part of -1.7 is -1: every button.
  Call("mouse_clear", {-1.7});
  EXPECT_EQ(Call("mouse_check_button", {-1}), 0);
  IO_Update();
  EXPECT_EQ(Call("mouse_check_button", {-1}), 0);
}

TEST_F(InteractionBuiltins, WaitsEndOnTheNextKeyOrButtonEveryFiftyMilliseconds) {
  Clock_SetVirtual(true);
  IO_SetMessagePump(FakePump);
  Input_OnKeyDown(65, 0, 0);
  IO_Update();
  g_pumpDeliversAt = 4;
  Call("keyboard_wait");
  EXPECT_EQ(g_pumpCalls, 4);
  EXPECT_EQ(Clock_Microseconds(), 3 * 50000);
  // The last key was cleared before waiting; the message feeds the pending set.
  EXPECT_EQ(IO_GetLastKey(), 0);
  IO_Update();
  EXPECT_EQ(IO_GetLastKey(), 70);

  g_pumpCalls = 0;
  g_pumpDeliversAt = 2;
  g_pumpDeliversButton = true;
  Input_OnMouseDown(1, 0, 0);  // before the call: does not end the wait
  IO_Update();
  Call("mouse_wait");
  EXPECT_EQ(g_pumpCalls, 2);
  EXPECT_EQ(IO_GetMouseLastButton(0), 0);
  IO_Update();
  EXPECT_EQ(IO_GetMouseLastButton(0), 2);
}

TEST_F(InteractionBuiltins, WaitsEndWhenTheWindowCloses) {
  Clock_SetVirtual(true);
  IO_SetMessagePump(FakePump);
  g_pumpClosesAt = 3;
  Call("keyboard_wait");
  EXPECT_EQ(g_pumpCalls, 3);
  g_pumpCalls = 0;
  Call("mouse_wait");
  EXPECT_EQ(g_pumpCalls, 3);
  // Without a pump nothing can ever arrive: no wait at all.
  IO_SetMessagePump(nullptr);
  Call("keyboard_wait");
  Call("mouse_wait");
}

TEST_F(InteractionBuiltins, SynthesisedKeysReachTheSystemKeyState) {
  EXPECT_EQ(Call("keyboard_check_direct", {81}), 0);
  Call("keyboard_key_press", {81});
  EXPECT_EQ(Call("keyboard_check_direct", {81}), 1);
  Call("keyboard_key_release", {81});
  EXPECT_EQ(Call("keyboard_check_direct", {81}), 0);
  // Down and up between two queries: seen once.
  Call("keyboard_key_press", {82});
  Call("keyboard_key_release", {82});
  EXPECT_EQ(Call("keyboard_check_direct", {82}), 1);
  EXPECT_EQ(Call("keyboard_check_direct", {82}), 0);
  // The system's state knows nothing of the game's key map.
  Call("keyboard_set_map", {83, 90});
  Call("keyboard_key_press", {83});
  EXPECT_EQ(Call("keyboard_check_direct", {83}), 1);
  EXPECT_EQ(Call("keyboard_check_direct", {90}), 0);
  Call("keyboard_key_release", {83});
  for (double key : {-1.0, 0.0, 255.0, 256.0, double(NAN)}) {
    Call("keyboard_key_press", {key});
    EXPECT_EQ(Call("keyboard_check_direct", {key}), 0) << key;
  }
  Events_Pump();
}

TEST_F(InteractionBuiltins, NumLockFollowsTheSetter) {
  const bool was = Call("keyboard_get_numlock") != 0;
  Call("keyboard_set_numlock", {was ? 0.0 : 0.5});
  EXPECT_EQ(Call("keyboard_get_numlock"), was ? 0 : 1);
  EXPECT_EQ(Call("keyboard_check_direct", {144}), 1);  // pressed since the last query
  Call("keyboard_set_numlock", {was ? 1.0 : 0.49});
  EXPECT_EQ(Call("keyboard_get_numlock"), was ? 1 : 0);
  Events_Pump();
}

// ---- Joysticks ----------------------------------------------------------------------

TEST_F(InteractionBuiltins, WithoutAJoystickEveryQueryGivesItsDefault) {
  JoystickCaps caps;
  if (Joystick_Caps(0, &caps)) GTEST_SKIP() << "a joystick is connected";
  for (double pad : {1.0, 2.0}) {
    EXPECT_EQ(Call("joystick_exists", {pad}), 0);
    EXPECT_EQ(CallText("joystick_name", {pad}), "");
    EXPECT_EQ(Call("joystick_axes", {pad}), 0);
    EXPECT_EQ(Call("joystick_buttons", {pad}), 0);
    EXPECT_EQ(Call("joystick_has_pov", {pad}), 0);
    EXPECT_EQ(Call("joystick_direction", {pad}), 101);
    EXPECT_EQ(Call("joystick_check_button", {pad, 1}), 0);
    EXPECT_EQ(Call("joystick_xpos", {pad}), 0);
    EXPECT_EQ(Call("joystick_pov", {pad}), -1);
  }
}

class Joysticks : public InteractionBuiltins {
 protected:
  void SetUp() override {
    InteractionBuiltins::SetUp();
    pad_ = Joystick_AttachVirtual("Test Stick", 6, 12, 1);
    if (pad_ != 0) GTEST_SKIP() << "no virtual joystick as the first pad";
  }
  void TearDown() override {
    if (pad_ >= 0) Joystick_DetachVirtual(pad_);
    InteractionBuiltins::TearDown();
  }
  int pad_ = -1;
};

TEST_F(Joysticks, CapabilitiesAndWhichPadAnArgumentNames) {
  EXPECT_EQ(Call("joystick_exists", {1}), 1);
  EXPECT_EQ(Call("joystick_exists", {0}), 1);    // anything but 2 is the first
  EXPECT_EQ(Call("joystick_exists", {2.5}), 1);
  EXPECT_EQ(Call("joystick_exists", {2}), 0);    // exactly 2 is the second
  EXPECT_EQ(CallText("joystick_name", {1}), "Test Stick");
  EXPECT_EQ(Call("joystick_axes", {1}), 6);
  EXPECT_EQ(Call("joystick_buttons", {1}), 12);
  EXPECT_EQ(Call("joystick_has_pov", {1}), 1);
}

TEST_F(Joysticks, HasPovReadsTheHatAlone) {
  Joystick_DetachVirtual(pad_);
  // Six axes and buttons, but no hat.
  pad_ = Joystick_AttachVirtual("No Hat", 6, 4, 0);
  ASSERT_EQ(pad_, 0);
  EXPECT_EQ(Call("joystick_has_pov", {1}), 0);
  EXPECT_EQ(Call("joystick_pov", {1}), -1);
}

TEST_F(Joysticks, AxesMapOntoMinusOneToJustAboveOne) {
  const struct {
    int axis;
    const char* builtin;
  } axes[] = {{0, "joystick_xpos"}, {1, "joystick_ypos"}, {2, "joystick_zpos"},
              {3, "joystick_rpos"}, {4, "joystick_upos"}, {5, "joystick_vpos"}};
  for (const auto& a : axes) {
    Joystick_SetVirtualAxis(pad_, a.axis, 32767);  // reads 65535
    EXPECT_FLOAT_EQ(Call(a.builtin, {1}), 65535.0f / 32767.0f - 1.0f) << a.builtin;
    EXPECT_NEAR(Call(a.builtin, {1}), 1.00003, 1e-5) << a.builtin;
    Joystick_SetVirtualAxis(pad_, a.axis, -32768);  // reads 0
    EXPECT_EQ(Call(a.builtin, {1}), -1) << a.builtin;
    Joystick_SetVirtualAxis(pad_, a.axis, 0);
    EXPECT_NEAR(Call(a.builtin, {1}), 0, 1e-4) << a.builtin;
    EXPECT_EQ(Call(a.builtin, {2}), 0) << a.builtin;  // no second pad
  }
}

TEST_F(Joysticks, DirectionIsTheKeypadKeyTheStickPointsAt) {
  const struct {
    int16_t x, y;
    int key;
  } cases[] = {
      {0, 0, 101},            {-32768, -32768, 103},  // up and left
      {32767, -32768, 105},   {-32768, 32767, 97},    {32767, 32767, 99},
      {0, -32768, 104},       {0, 32767, 98},         {-32768, 0, 100},
      {32767, 0, 102},
      // The middle band runs from 20000 to 44000 readings, both ends in.
      {20000 - 32768, 44000 - 32768, 101}, {19999 - 32768, 44001 - 32768, 97},
  };
  for (const auto& c : cases) {
    Joystick_SetVirtualAxis(pad_, 0, c.x);
    Joystick_SetVirtualAxis(pad_, 1, c.y);
    EXPECT_EQ(Call("joystick_direction", {1}), c.key) << c.x << ", " << c.y;
  }
}

TEST_F(Joysticks, ButtonsAndPointOfView) {
  Joystick_SetVirtualButton(pad_, 0, true);
  Joystick_SetVirtualButton(pad_, 11, true);
  EXPECT_EQ(Call("joystick_check_button", {1, 1}), 1);
  EXPECT_EQ(Call("joystick_check_button", {1, 2}), 0);
  EXPECT_EQ(Call("joystick_check_button", {1, 12}), 1);
  EXPECT_EQ(Call("joystick_check_button", {1, 0.6}), 1);  // rounds to 1
  for (double button : {0.0, 13.0, 33.0, -1.0, double(NAN)}) EXPECT_EQ(Call("joystick_check_button", {1, button}), 0);

  const struct {
    uint8_t hat;
    double degrees;
  } hats[] = {{0, -1}, {1, 0}, {3, 45}, {2, 90}, {6, 135}, {4, 180}, {12, 225}, {8, 270}, {9, 315}};
  for (const auto& h : hats) {
    Joystick_SetVirtualHat(pad_, 0, h.hat);
    EXPECT_EQ(Call("joystick_pov", {1}), h.degrees) << int(h.hat);
  }
}

}  // namespace
