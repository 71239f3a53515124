// The drawing actions read back as the draws the recording device receives,
// each compared with the drawing call it stands for: the text shown for
// values, scores and lives, the relative flag, the health bar's colours and
// the errors for missing resources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "core/instances.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "draw/draw_state.h"
#include "draw/primitives.h"
#include "draw/text.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "unit/draw/font_fixture.h"

namespace {

using fonttest::FontTest;

using fonttest::Telling;
using Recorded = fonttest::RecordedDraw;

class ActionDraw : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    InitActionFunctions();
    Load(fonttest::FontContainer({Telling()}));
    Text_SetFont(0);
    Draw_SetColour(0x123456);
    self_ = std::make_unique<CObjInstance>(100.0f, 50.0f, 100001, -1, false);
  }
  void TearDown() override {
    self_.reset();
    FontTest::TearDown();
  }

  // Calls an action as self; the text it reported, empty when nothing.
  std::string Call(const char* name, std::vector<ScriptValue> values) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    ScriptValue result;
    Error_ClearOccurred();
    testing::internal::CaptureStdout();
    if (index >= 0) FunctionRegistry_Call(index, self_.get(), nullptr, &result, int(values.size()), values.data());
    testing::internal::GetCapturedStdout();
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    return Error_Occurred() ? Error_LastText() : std::string();
  }
  std::string Call(const char* name, std::initializer_list<double> reals) {
    std::vector<ScriptValue> values;
    for (double r : reals) values.push_back(ScriptValue::FromReal(r));
    return Call(name, std::move(values));
  }
  static ScriptValue Text(const std::string& text) {
    ScriptValue v;
    ScriptValue_SetText(&v, text.c_str());
    return v;
  }
  static ScriptValue R(double x) { return ScriptValue::FromReal(x); }

  std::vector<Recorded> TextAt(float x, float y, const std::string& text) {
    return DrawsOf([&] { Text_Draw(x, y, text.c_str(), -1, -1); });
  }
  // The draws since the last look are those of the direct drawing.
  void ExpectDrew(const std::function<void()>& draw, const std::string& what) {
    const std::vector<Recorded> got = Draws();
    EXPECT_FALSE(got.empty()) << what;
    EXPECT_EQ(got, DrawsOf(draw)) << what;
  }
  void ExpectText(float x, float y, const std::string& text, const std::string& what = "") {
    ExpectDrew([&] { Text_Draw(x, y, text.c_str(), -1, -1); }, what.empty() ? text : what);
  }

  std::unique_ptr<CObjInstance> self_;
};

TEST_F(ActionDraw, TheTellingFontTellsTextsApart) {
  EXPECT_NE(TextAt(0, 0, "3"), TextAt(0, 0, "4"));
  EXPECT_NE(TextAt(0, 0, "2.50"), TextAt(0, 0, "      2.50"));
  EXPECT_NE(TextAt(0, 0, "ab"), TextAt(0, 0, "ba"));
}

TEST_F(ActionDraw, AVariableShowsAsATextAWholeNumberOrTenPlacesWithTwoDecimals) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    ScriptValue value;
    const char* shown;
  } cases[] = {
      {R(3), "3"},
      {R(2.5), "      2.50"},
      {R(-7), "-7"},
      {R(-0.125), "     -0.12"},
      {R(1234567.891), "1234567.89"},
      {R(2147483647), "2147483647"},
      {R(-2147483648.0), "-2147483648"},
      // Whole values past 32 bits keep every digit; no integer conversion.
      {R(4294967296.0), "4294967296"},
      {R(1e20), "100000000000000000000"},
      {R(-1e20), "-100000000000000000000"},
      {R(inf), "inf"},
      {R(-inf), "-inf"},
      {R(std::nan("")), "       nan"},
      {R(-std::nan("")), "       nan"},
      {Text("3"), "3"},
      {Text("ab#c"), "ab#c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Call("action_draw_variable", {c.value, R(10), R(20)}), "") << c.shown;
    ExpectText(10, 20, c.shown, c.shown);
  }
}

TEST_F(ActionDraw, ScoreAndLivesFollowTheirCaption) {
  g_Run.score = -250;
  g_Run.lives = 3;
  EXPECT_EQ(Call("action_draw_score", {R(5), R(6), Text("Score: ")}), "");
  ExpectText(5, 6, "Score: -250");
  Call("action_draw_score", {R(5), R(6), R(12)});
  ExpectText(5, 6, "-250", "a real caption counts as none");
  Call("action_draw_score", {R(5), R(6)});
  ExpectText(5, 6, "-250", "so does an absent one");
  Call("action_draw_life", {R(7), R(8), Text("Lives ")});
  ExpectText(7, 8, "Lives 3");
  g_Run.score = std::numeric_limits<int32_t>::min();
  Call("action_draw_score", {R(0), R(0), Text("")});
  ExpectText(0, 0, "-2147483648");
}

TEST_F(ActionDraw, ShownTextStopsAt1023CharactersAndKeepsTheNumberWhole) {
  g_Run.score = 12345;
  const std::string caption(2000, 'a');
  Call("action_draw_score", {R(0), R(0), Text(caption)});
  ExpectText(0, 0, std::string(1018, 'a') + "12345");
  Call("action_draw_variable", {Text(caption + "b"), R(0), R(0)});
  ExpectText(0, 0, std::string(1023, 'a'));
  // A caption that just fits is drawn whole.
  Call("action_draw_score", {R(0), R(0), Text(std::string(1018, 'z'))});
  ExpectText(0, 0, std::string(1018, 'z') + "12345");
  // A cut never splits a character: of 600 two-byte ones, 511 fit.
  std::string accents;
  for (int i = 0; i < 600; ++i) accents += "\xc3\xa9";
  Call("action_draw_variable", {Text(accents), R(0), R(0)});
  const std::vector<Recorded> got = Draws();
  EXPECT_EQ(got, TextAt(0, 0, accents.substr(0, 1022)));
  EXPECT_NE(got, TextAt(0, 0, accents.substr(0, 1020)));
}

TEST_F(ActionDraw, TheRelativeFlagMovesEveryCoordinateBySelf) {
  g_Run.score = 9;
  g_Run.health = 40;
  const struct {
    const char* name;
    std::vector<double> args;
    std::function<void(float dx, float dy)> direct;
  } cases[] = {
      {"action_draw_rectangle", {1, 2, 30, 40, 1}, [](float dx, float dy) { Draw_Rectangle(1 + dx, 2 + dy, 30 + dx, 40 + dy, true); }},
      {"action_draw_rectangle", {1, 2, 30, 40, 0.49}, [](float dx, float dy) { Draw_Rectangle(1 + dx, 2 + dy, 30 + dx, 40 + dy, false); }},
      {"action_draw_gradient_hor", {1, 2, 30, 40, 0x0000FF, 0x00FF00},
       [](float dx, float dy) { Draw_RectangleColour(1 + dx, 2 + dy, 30 + dx, 40 + dy, 0x0000FF, 0x00FF00, 0x00FF00, 0x0000FF, false); }},
      {"action_draw_gradient_vert", {1, 2, 30, 40, 0x0000FF, 0x00FF00},
       [](float dx, float dy) { Draw_RectangleColour(1 + dx, 2 + dy, 30 + dx, 40 + dy, 0x0000FF, 0x0000FF, 0x00FF00, 0x00FF00, false); }},
      {"action_draw_ellipse", {1, 2, 30, 40, 0.5}, [](float dx, float dy) { Draw_Ellipse(1 + dx, 2 + dy, 30 + dx, 40 + dy, true); }},
      {"action_draw_ellipse_gradient", {1, 2, 30, 40, 0xFF0000, 0x00FF00},
       [](float dx, float dy) { Draw_EllipseColour(1 + dx, 2 + dy, 30 + dx, 40 + dy, 0xFF0000, 0x00FF00, false); }},
      {"action_draw_line", {1, 2, 30, 40}, [](float dx, float dy) { Draw_Line(1 + dx, 2 + dy, 30 + dx, 40 + dy); }},
      {"action_draw_arrow", {1, 2, 30, 40, 8}, [](float dx, float dy) { Draw_Arrow(1 + dx, 2 + dy, 30 + dx, 40 + dy, 8); }},
      {"action_draw_health", {1, 2, 30, 40, 3, 5},
       [](float dx, float dy) {
         Draw_Healthbar(1 + dx, 2 + dy, 30 + dx, 40 + dy, 40, 0xC0C0C0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, true, true);
       }},
      {"action_draw_text", {7, 8, 9}, [](float dx, float dy) { Text_Draw(8 + dx, 9 + dy, "7", -1, -1); }},
      {"action_draw_text_transformed", {0.5, 8, 9, 2, 3, 30},
       [](float dx, float dy) { Text_DrawTransformed(8 + dx, 9 + dy, "0.50", -1, -1, 2, 3, 30); }},
      {"action_draw_variable", {1.5, 8, 9}, [](float dx, float dy) { Text_Draw(8 + dx, 9 + dy, "      1.50", -1, -1); }},
      {"action_draw_score", {8, 9}, [](float dx, float dy) { Text_Draw(8 + dx, 9 + dy, "9", -1, -1); }},
  };
  for (bool relative : {false, true}) {
    Action_SetRelative(relative);
    const float dx = relative ? 100.0f : 0.0f, dy = relative ? 50.0f : 0.0f;
    for (const auto& c : cases) {
      std::vector<ScriptValue> values;
      for (double a : c.args) values.push_back(R(a));
      EXPECT_EQ(Call(c.name, std::move(values)), "") << c.name;
      const std::vector<Recorded> got = Draws();
      EXPECT_FALSE(got.empty()) << c.name;
      EXPECT_EQ(got, DrawsOf([&] { c.direct(dx, dy); })) << c.name << " relative " << relative;
    }
  }
}

TEST_F(ActionDraw, TheHealthBarTakesItsColoursFromTheTables) {
  const struct {
    double back, bar;
    bool showBack;
    uint32_t backColour, minimum, middle, maximum;
  } cases[] = {
      {0, 0, false, 0, 0x0000FF, 0x00FFFF, 0x00FF00},
      {0.5, 0, true, 0, 0x0000FF, 0x00FFFF, 0x00FF00},  // a half shows the back; it rounds to entry 0
      {1, 1, true, 0x000000, 0x000000, 0x808080, 0xFFFFFF},
      {2, 2, true, 0x808080, 0x000000, 0x000000, 0x000000},
      {11, 11, true, 0x0000FF, 0x808000, 0x808000, 0x808000},
      {16, 16, true, 0xFFFF00, 0xFF00FF, 0xFF00FF, 0xFF00FF},
      {17, 17, true, 0x000000, 0xFFFF00, 0xFFFF00, 0xFFFF00},
      {18, 18, true, 0x000000, 0x000000, 0x000000, 0x000000},
      {-1, -1, false, 0x000000, 0x000000, 0x000000, 0x000000},
      {1e12, std::nan(""), true, 0x000000, 0x0000FF, 0x00FFFF, 0x00FF00},  // NaN rounds to entry 0
  };
  for (double health : {0.0, 25.0, 50.0, 100.0}) {
    g_Run.health = health;
    for (const auto& c : cases) {
      Call("action_draw_health", {0, 0, 100, 10, c.back, c.bar});
      const std::vector<Recorded> got = Draws();
      EXPECT_EQ(got, DrawsOf([&] {
                  Draw_Healthbar(0, 0, 100, 10, float(health), c.backColour, c.minimum, c.middle, c.maximum, 0,
                                 c.showBack, true);
                }))
          << c.back << " " << c.bar << " at " << health;
    }
  }
}

TEST_F(ActionDraw, MissingResourcesAreReportedAndDrawNothing) {
  EXPECT_NE(Call("action_draw_sprite", {3, 0, 0, 0}).find("Trying to draw a non-existing sprite."),
            std::string::npos);
  EXPECT_NE(Call("action_draw_background", {3, 0, 0, 1}).find("Trying to draw a non-existing background."),
            std::string::npos);
  EXPECT_EQ(Call("action_draw_life_images", {0, 0, 3}), "") << "no sprite: nothing, and no report";
  EXPECT_TRUE(Draws().empty());
}

TEST_F(ActionDraw, ColourAndFontSetTheDrawState) {
  Call("action_color", {0x00FF80});
  EXPECT_EQ(Draw_GetColour() & 0xFFFFFFu, 0x00FF80u);
  Call("action_colour", {255.5});  // rounds to 256
  EXPECT_EQ(Draw_GetColour() & 0xFFFFFFu, 256u);
  Call("action_font", {0, 2});
  EXPECT_EQ(Draw_State().font, 0);
  EXPECT_EQ(Draw_State().halign, 2);
  Call("action_font", {-1, 1.5});
  EXPECT_EQ(Draw_State().halign, 2) << "1.5 rounds to 2";
  Call("action_font", {0, 7});
  EXPECT_EQ(Draw_State().halign, 0);
}

}  // namespace
