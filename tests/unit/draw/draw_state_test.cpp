// The draw state through its built-ins, the circle table, and clears on the
// recording device.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/draw.h"
#include "draw/draw_state.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/window.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/graphics/graphics_fixture.h"
#include "unit/script/builtins_call.h"

namespace {

class DrawStateBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    InitGraphicFunctions();
    DrawState_ResetForTests();
  }
  void TearDown() override {
    DrawState_ResetForTests();
    BuiltinsTest::TearDown();
  }
};

TEST_F(DrawStateBuiltins, AlphaIsClampedAndKeptAsAByte) {
  struct Case {
    double set, read;
  } cases[] = {{2, 1}, {0.5, 127 / 255.0}, {-3, 0}, {1, 1}, {0.999, 254 / 255.0}};
  for (const Case& c : cases) {
    Call("draw_set_alpha", {c.set});
    EXPECT_DOUBLE_EQ(Real("draw_get_alpha"), c.read) << c.set;
    EXPECT_EQ(Draw_State().colour >> 24, Draw_State().alpha) << "the colour carries the alpha";
  }
}

TEST_F(DrawStateBuiltins, ColourKeepsTheAlphaAndNeverShowsIt) {
  Call("draw_set_alpha", {0.5});
  Call("draw_set_colour", {0x123456});
  EXPECT_EQ(Draw_State().colour, 0x7F563412u);
  EXPECT_EQ(Real("draw_get_colour"), 0x123456);
  EXPECT_EQ(Draw_GetColour(), 0x7F123456u);
  Call("draw_set_color", {-1});  // bits above the colour are dropped
  EXPECT_EQ(Real("draw_get_color"), 0xFFFFFF);
  Direct_DrawSetColour(0xFF);
  Direct_DrawSetAlpha(1.0f);
  EXPECT_EQ(Draw_State().colour, 0xFFFF0000u);
}

TEST_F(DrawStateBuiltins, AlignmentsKeepOnlyTheirThreeValues) {
  struct Case {
    double set;
    int stored;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {5, 0}, {-1, 0}, {1.5, 2}, {2.5, 2}};
  for (const Case& c : cases) {
    Call("draw_set_halign", {c.set});
    Call("draw_set_valign", {c.set});
    EXPECT_EQ(Draw_State().halign, c.stored) << c.set;
    EXPECT_EQ(Draw_State().valign, c.stored) << c.set;
  }
}

TEST_F(DrawStateBuiltins, AMissingFontSelectsTheBuiltInFont) {
  Draw_State().font = 3;
  Call("draw_set_font", {7});
  EXPECT_EQ(Draw_State().font, -1);
}

TEST_F(DrawStateBuiltins, CirclePrecisionIsAMultipleOfFourFrom4To64) {
  struct Case {
    double set;
    int precision;
  } cases[] = {{3, 4}, {7, 4}, {30, 28}, {65, 64}, {100, 64}, {24, 24}, {-5, 4}};
  for (const Case& c : cases) {
    Call("draw_set_circle_precision", {c.set});
    EXPECT_EQ(Draw_GetCirclePrecision(), c.precision) << c.set;
  }
  Draw_SetCirclePrecision(8);
  const CircleTable& t = Draw_State().circle;
  for (int i = 0; i <= 8; ++i) {
    EXPECT_NEAR(t.cos[i], std::cos(2 * M_PI * i / 8), 1e-6) << i;
    EXPECT_NEAR(t.sin[i], std::sin(2 * M_PI * i / 8), 1e-6) << i;
  }
  EXPECT_NEAR(t.cos[8], t.cos[0], 1e-6);
}

// Clears reach the device as the colour, with depth 1 and stencil 0.
class DrawClear : public DisplayGraphicsTest {
 protected:
  void SetUp() override {
    DisplayGraphicsTest::SetUp();
    Display_SetScreenSize(64, 48);
    ASSERT_TRUE(GR_D3D_Init(64, 48, 0));
    device.ClearLog();
  }
  gfx::RecordingDevice::Call LastClear() {
    gfx::RecordingDevice::Call last{};
    for (const auto& c : device.Calls())
      if (c.op == gfx::RecordingDevice::Op::Clear) last = c;
    return last;
  }
};

TEST_F(DrawClear, ClearsTargetDepthAndStencil) {
  struct Case {
    uint32_t colour;
    float alpha;
    uint32_t device;
  } cases[] = {
      {0x0000FF, 1.0f, 0xFFFF0000u},
      {0x123456, 0.5f, 0x7F563412u},
      {0xFFFFFFFF, 0.0f, 0x00FFFFFFu},  // high bits never reach the alpha
      {0x00FF00, 2.0f, 0xFF00FF00u},
  };
  for (const Case& c : cases) {
    device.ClearLog();
    Draw_ClearAlpha(c.colour, c.alpha);
    auto call = LastClear();
    ASSERT_EQ(call.op, gfx::RecordingDevice::Op::Clear);
    EXPECT_EQ(call.a, 7u);
    EXPECT_EQ(call.b, c.device) << std::hex << c.colour;
    EXPECT_EQ(call.c, Bits(1.0f));
    EXPECT_EQ(call.d, 0u);
  }
}

TEST_F(DrawClear, AlphaTestBuiltinsReachTheRenderStates) {
  FunctionRegistry_Free();
  InitGraphicFunctions();
  auto call = [](const char* name, double arg, int argc) {
    ScriptValue a = ScriptValue::FromReal(arg), result;
    FunctionRegistry_Call(FunctionRegistry_Find(name), nullptr, nullptr, &result, argc, &a);
    return result.Real();
  };
  call("draw_set_alpha_test", 0.6, 1);
  EXPECT_EQ(call("draw_get_alpha_test", 0, 0), 1);
  call("draw_set_alpha_test", 0.5, 1);
  EXPECT_EQ(call("draw_get_alpha_test", 0, 0), 0);
  call("draw_set_alpha_test_ref_value", 40.5, 1);
  EXPECT_EQ(call("draw_get_alpha_test_ref_value", 0, 0), 40);
  FunctionRegistry_Free();
}

}  // namespace
