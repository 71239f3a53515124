// Colour conversions against colour_cases.inc (an independent single-
// precision model, colour_oracle.py), and the colour built-ins' edge cases.
#include <gtest/gtest.h>

#include <cmath>

#include "draw/colour.h"
#include "draw/draw.h"
#include "unit/script/builtins_call.h"

namespace {

struct HsvCase {
  int hue, saturation, value;
  uint32_t colour;
};
struct RgbCase {
  uint32_t colour;
  int hue, saturation, value;
};
struct MergeCase {
  uint32_t colour1, colour2;
  double t;
  uint32_t merged;
};
#include "colour_cases.inc"

class Colours : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    InitGraphicFunctions();
  }
};

TEST(ColourConversions, HsvToColourMatchesTheModel) {
  for (const HsvCase& c : kHsvCases)
    EXPECT_EQ(Colour_HSVToInt(Colour_SetHSVBytes(c.hue, c.saturation, c.value)), c.colour)
        << c.hue << "," << c.saturation << "," << c.value;
}

TEST(ColourConversions, ColourToHsvMatchesTheModel) {
  for (const RgbCase& c : kRgbCases) {
    HSVTriple hsv = Colour_GetHSV(c.colour);
    EXPECT_EQ(hsv.hue, c.hue) << std::hex << c.colour;
    EXPECT_EQ(hsv.saturation, c.saturation) << std::hex << c.colour;
    EXPECT_EQ(hsv.value, c.value) << std::hex << c.colour;
  }
}

TEST(ColourConversions, MergeMatchesTheModel) {
  for (const MergeCase& c : kMergeCases)
    EXPECT_EQ(Colour_Merge(c.colour1, c.colour2, c.t), c.merged)
        << std::hex << c.colour1 << " " << c.colour2 << " " << c.t;
}

TEST(ColourConversions, DeviceColoursSwapRedAndBlueAndCarryAlpha) {
  struct Case {
    uint32_t colour, alpha, device;
  } cases[] = {
      {0x0000FF, 255, 0xFFFF0000u}, {0xFF0000, 128, 0x800000FFu}, {0x123456, 0, 0x00563412u},
      {0xAB123456, 1, 0x01563412u},  // bits above the colour are ignored
  };
  for (const Case& c : cases) EXPECT_EQ(Colour_ToARGB(c.colour, c.alpha), c.device);
  struct AlphaCase {
    float alpha;
    uint32_t byte;
  } alphas[] = {{0.0f, 0}, {0.5f, 127}, {1.0f, 255}, {1.5f, 255}, {-0.1f, 0}, {NAN, 0}};
  for (const AlphaCase& a : alphas) {
    EXPECT_EQ(Colour_AlphaToByte(a.alpha), a.byte) << a.alpha;
    EXPECT_EQ(Colour_ToARGBAlpha(0xFFFFFF, a.alpha) >> 24, a.byte) << a.alpha;
  }
  EXPECT_EQ(Colour_SetAlphaByte(0x12345678u, 0x9A), 0x9A345678u);
  EXPECT_EQ(Colour_MakeRGB(0x1FF, 0x102, 0x3), 0x0302FFu);
}

TEST(ColourConversions, LerpAndMergeWrapChannelsOutsideTheRange) {
  EXPECT_EQ(Colour_Merge(0x000000, 0xFFFFFF, 2.0), 0xFEFEFEu);  // 510 keeps its low 8 bits
  EXPECT_EQ(Colour_Lerp(0x000000, 0xFFFFFF, 2.0), 0xFEFEFEu);
  EXPECT_EQ(Colour_Lerp(0x0000FF, 0xFF0000, 0.5), 0x800080u);  // 127.5 to even
  EXPECT_EQ(Colour_Merge(0x000000, 0xFFFFFF, 1e300), Colour_Merge(0x000000, 0xFFFFFF, 1e300))
      << "a huge t stays defined";
}

TEST_F(Colours, BuiltinsGiveTheDocumentedResults) {
  struct Case {
    const char* name;
    std::initializer_list<Arg> args;
    double expected;
  };
  const Case cases[] = {
      {"make_colour_rgb", {300, 0, 0}, 300},
      {"make_colour_rgb", {1.9, 0, 0}, 1},
      {"make_color", {1, 2, 3}, 0x030201},
      {"make_color_rgb", {-1, 0, 0}, -1},
      {"colour_get_red", {-1}, -1},
      {"color_get_green", {0x123456}, 0x34},
      {"colour_get_blue", {0x123456}, 0x12},
      {"colour_get_red", {2.5}, 2},  // rounded to even
      {"make_colour_hsv", {0, 0, 255}, 0xFFFFFF},
      {"make_colour_hsv", {0, 255, 255}, 0xFF},
      {"make_color_hsv", {85, 255, 255}, 0xFF00},
      {"make_colour_hsv", {170, 255, 255}, 0xFF0000},
      {"make_colour_hsv", {256, 255, 255}, 0xFF},
      {"colour_get_hue", {255}, 0},
      {"color_get_hue", {0xFF0000}, 170},
      {"colour_get_saturation", {0x808080}, 0},
      {"color_get_value", {0x808080}, 128},
      {"merge_colour", {0, 0xFFFFFF, 0.5}, 0x808080},
      {"merge_color", {0, 0xFFFFFF, 2}, 0xFEFEFE},
      {"merge_colour", {0x0000FF, 0x00FF00, 0}, 0x0000FF},
  };
  for (const Case& c : cases) EXPECT_EQ(Real(c.name, c.args), c.expected) << c.name;
}

}  // namespace
