// Text layout and drawing: line breaks, wrapping, alignment, measuring, the
// text shown for numbers, and the text built-ins over a font of solid glyphs.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/draw.h"
#include "draw/text.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/draw/font_fixture.h"

namespace {

using fonttest::FontTest;

constexpr int kAdvance = 7, kTallest = 15;

// Characters 32 to 126, each 7 wide and 15 high with advance 7; 'i' is 3
// wide, offset 2.
fonttest::Font Solid() {
  fonttest::Font f;
  for (int c = 32; c < 127; ++c) {
    if (c == 'i') f.glyphs.push_back({uint16_t(c), 0, 0, 3, kTallest, kAdvance, 2});
    else f.glyphs.push_back({uint16_t(c), 0, 0, 7, kTallest, kAdvance, 0});
  }
  return f;
}

std::string Narrow(const uint16_t* line) {
  std::string out;
  char buffer[4];
  for (; *line; ++line) {
    char* p = buffer;
    UTF8_EncodeChar(&p, *line);
    out.append(buffer, p);
  }
  return out;
}

class TextTest : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    InitGraphicFunctions();
    Load(fonttest::FontContainer({Solid()}));
    Text_SetFont(0);
  }

  static std::vector<std::string> Lines(const char* text, int width) {
    TStringList list;
    Text_SplitLines(text, width, &list);
    std::vector<std::string> out;
    for (const uint16_t* line : list.lines) out.push_back(Narrow(line));
    return out;
  }

  // Calls a registered built-in with these values.
  static double Call(const char* name, std::vector<ScriptValue>& values) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    ScriptValue result;
    if (index >= 0) FunctionRegistry_Call(index, nullptr, nullptr, &result, int(values.size()), values.data());
    const double r = result.Real();
    ScriptValue_Free(&result);
    return r;
  }
  static double Call(const char* name, std::initializer_list<double> reals, const char* text = nullptr,
                     size_t textAt = 0) {
    std::vector<ScriptValue> values;
    for (double r : reals) values.push_back(ScriptValue::FromReal(r));
    if (text) {
      values.insert(values.begin() + ptrdiff_t(textAt), ScriptValue{});
      ScriptValue_SetText(&values[textAt], text);
    }
    const double r = Call(name, values);
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    return r;
  }

  // The top-left corners of the glyph quads drawn since the last call.
  std::vector<std::pair<float, float>> Corners() {
    std::vector<std::pair<float, float>> out;
    const std::vector<TexturedVertex> v = Drawn();
    for (size_t i = 0; i + 5 < v.size(); i += 6) out.emplace_back(v[i].x, v[i].y);
    return out;
  }
};

TEST_F(TextTest, LinesBreakAtHashesAndLineEndsAndWrapAtSpaces) {
  struct Case {
    const char* text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"A#B", -1, {"A", "B"}},
      {"A\\#B", -1, {"A#B"}},
      {"#", -1, {""}},
      {"A#", -1, {"A"}},
      {"", -1, {}},
      {"a\r\nb", -1, {"a", "", "b"}},
      {"a\r\nb", 100, {"a", "\nb"}},
      {"ab cd", -1, {"ab cd"}},
      {"ab cd", 10000, {"ab cd"}},
      {"ab cd", 0, {}},
      {"ab cd", 3, {}},
      {"ab cd", 28, {"ab", "cd"}},
      {"ab cd", 35, {"ab cd"}},
      {"abcdefgh ij", 20, {"abcdefgh", "ij"}},
      {"abcdefgh#ij", 20, {"abcdefgh", "ij"}},
      {"   ", 50, {}},
      {"ab  #cd", 100, {"ab  ", "cd"}},
      {"  ab", 100, {"  ab"}},
      {"\xc3\xa9\xe2\x82\xac", -1, {"\xc3\xa9\xe2\x82\xac"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Lines(c.text, c.width), c.lines) << c.text << " in " << c.width;
}

TEST_F(TextTest, MeasuringTakesTheWidestLineAndTheLineHeight) {
  struct Case {
    const char* text;
    int separation, width;
    int w, h;
  } cases[] = {
      {"abc#a", -1, -1, 3 * kAdvance, 2 * kTallest},
      {"abc#a", 20, -1, 3 * kAdvance, kTallest + 20},
      {"ab cd", -1, 28, 2 * kAdvance, 2 * kTallest},
      {"", -1, -1, 0, 0},
      {"a\xe2\x82\xac", -1, -1, kAdvance, kTallest},  // no glyph: no width
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Text_Width(c.text, c.separation, c.width), c.w) << c.text;
    EXPECT_EQ(Text_Height(c.text, c.separation, c.width), c.h) << c.text;
  }
  EXPECT_EQ(Call("string_width", {}, "ab"), 2 * kAdvance);
  EXPECT_EQ(Call("string_height_ext", {20, -1}, "a#b"), kTallest + 20);
  EXPECT_EQ(Call("string_width_ext", {-1, 28}, "ab cd"), 2 * kAdvance);
  EXPECT_EQ(Call("string_width", {0.5}), 4 * kAdvance) << "a real measures as it is shown: 0.50";
}

TEST_F(TextTest, TheBuiltInFontStandsInForAMissingFont) {
  ASSERT_TRUE(Font_Delete(0));
  EXPECT_EQ(Call("string_height", {}, "a#b"), 2 * 15);
  EXPECT_EQ(Call("string_height_ext", {20, -1}, "a#b"), 15 + 20);
  ASSERT_NE(Text_DefaultFont(), nullptr);
  const int w = Text_DefaultFont()->FindGlyph('A')->width;
  EXPECT_EQ(Call("string_width", {}, "A B"), 3 * w);
}

TEST_F(TextTest, DrawnTextPlacesEachGlyphAtThePen) {
  Call("draw_text", {10, 20}, "ai\xe2\x82\xac" "b#b", 2);
  const auto q = Corners();
  ASSERT_EQ(q.size(), 4u) << "the euro sign has no glyph";
  EXPECT_EQ(q[0], std::make_pair(9.5f, 19.5f));
  EXPECT_EQ(q[1], std::make_pair(10 + 7 + 2 - 0.5f, 19.5f));
  EXPECT_EQ(q[2], std::make_pair(10 + 14 - 0.5f, 19.5f)) << "nothing for the missing character";
  EXPECT_EQ(q[3], std::make_pair(9.5f, 20 + 15 - 0.5f)) << "the next line one line height down";
}

TEST_F(TextTest, AlignmentMovesLinesByWholePixelsUnlessTransformed) {
  Text_SetHAlign(1);
  Text_SetVAlign(1);
  Call("draw_text_ext", {100, 100, 15, -1}, "a#a#a", 2);
  auto q = Corners();
  ASSERT_EQ(q.size(), 3u);
  // Three lines of 15: 45 / 2 is 22; a line 7 wide starts 3 to the left.
  EXPECT_EQ(q[0], std::make_pair(97 - 0.5f, 78 - 0.5f));
  EXPECT_EQ(q[2].second, 78 + 30 - 0.5f);
  Call("draw_text_ext_transformed", {100, 100, 15, -1, 1, 1, 0}, "a#a#a", 2);
  q = Corners();
  ASSERT_EQ(q.size(), 3u);
  EXPECT_EQ(q[0], std::make_pair(96.5f - 0.5f, 77.5f - 0.5f));

  Text_SetHAlign(2);
  Text_SetVAlign(2);
  Call("draw_text", {100, 100}, "ab", 2);
  q = Corners();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(q[0], std::make_pair(86 - 0.5f, 85 - 0.5f));
}

TEST_F(TextTest, TransformedLinesStepAlongTheTurnedLine) {
  Call("draw_text_transformed", {50, 50, 2, 3, 90}, "a#b", 2);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  // The second line starts one scaled line height to the right.
  EXPECT_NEAR(v[6].x - v[0].x, 3 * 15, 1e-3);
  EXPECT_NEAR(v[6].y - v[0].y, 0, 1e-3);
}

TEST_F(TextTest, ColouredTextGivesEachLineItsCornerColours) {
  Call("draw_text_ext_transformed_colour", {0, 0, -1, -1, 1, 1, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0x808080, 1},
       "a#a", 2);
  const std::vector<TexturedVertex> v = Drawn();
  ASSERT_EQ(v.size(), 12u);
  for (size_t line = 0; line < 2; ++line) {
    const TexturedVertex* a = &v[6 * line];
    EXPECT_EQ(a[0].colour, 0xFFFF0000u) << line;  // c1, top-left
    EXPECT_EQ(a[1].colour, 0xFF00FF00u) << line;  // c2, top-right
    EXPECT_EQ(a[2].colour, 0xFF0000FFu) << line;  // c3, bottom-right
    EXPECT_EQ(a[4].colour, 0xFF808080u) << line;  // c4, bottom-left
  }
  EXPECT_EQ(v[6].y - v[0].y, 15);
}

TEST_F(TextTest, DrawingAValueNeverChangesIt) {
  std::vector<ScriptValue> args(3);
  args[0].real = 0;
  args[1].real = 0;
  ScriptValue_SetText(&args[2], "a\\#b");
  Call("draw_text", args);
  const auto first = Corners();
  Call("draw_text", args);
  EXPECT_EQ(Corners(), first);
  EXPECT_STREQ(args[2].Text(), "a\\#b");
  EXPECT_EQ(first.size(), 3u) << "a#b on one line";
  for (ScriptValue& v : args) ScriptValue_Free(&v);
}

TEST_F(TextTest, NumbersAreShownInSinglePrecision) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{3, "3"},           {0.5, "0.50"}, {1.0 / 3, "0.33"}, {16777217, "16777216"},
               {-2.5, "-2.50"},    {-7, "-7"},    {1e10, "10000000000"}, {0.999999999, "1"}};
  for (const Case& c : cases) EXPECT_EQ(Text_FormatValue(ScriptValue::FromReal(c.value)), c.text) << c.value;
  Call("draw_text", {0, 0, 0.5});
  EXPECT_EQ(Corners().size(), 4u) << "0.50";
}

TEST_F(TextTest, NoTextBuiltInReadsPastItsArguments) {
  for (const char* name : {"draw_text", "draw_text_ext", "draw_text_transformed", "draw_text_ext_transformed",
                           "draw_text_color", "draw_text_colour", "draw_text_transformed_color",
                           "draw_text_transformed_colour", "draw_text_ext_color", "draw_text_ext_colour",
                           "draw_text_ext_transformed_color", "draw_text_ext_transformed_colour", "string_width",
                           "string_height", "string_width_ext", "string_height_ext"}) {
    std::vector<ScriptValue> none;
    EXPECT_EQ(Call(name, none), 0) << name;
  }
  Drawn();
}

}  // namespace
