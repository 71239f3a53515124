// The high-score built-ins, called through the registry as scripts call them.
#include <gtest/gtest.h>

#include <string>

#include "core/run_state.h"
#include "files/high_score.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "unit/ds/ds_call.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;

class HighScoreBuiltins : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    IO_Init();
    InitInteractionFunctions();
  }
  void TearDown() override {
    IO_Shutdown();
    WorldTest::TearDown();
  }
};

TEST_F(HighScoreBuiltins, AddReadAndClear) {
  Call("highscore_add", {"Ann", 10.5});  // halves to even: 10
  Call("highscore_add", {"Bob", 11.5});  // 12
  g_Run.score = 11;
  Call("highscore_add_current");
  EXPECT_EQ(Call("highscore_value", {1}).Real(), 12);
  EXPECT_EQ(Call("highscore_name", {1}).Text(), "Bob");
  EXPECT_EQ(Call("highscore_name", {2.4}).Text(), "DEFAULT");
  EXPECT_EQ(Call("highscore_value", {3}).Real(), 10);
  EXPECT_EQ(Call("highscore_name", {10}).Text(), "<nobody>");

  Call("highscore_set_strings", {"Best", "(empty)", 3.0});
  EXPECT_EQ(HighScore_Display().caption, "Best");
  EXPECT_EQ(HighScore_Display().closingHint, "");  // not a string
  Call("highscore_clear");
  EXPECT_EQ(Call("highscore_name", {1}).Text(), "(empty)");
  EXPECT_EQ(Call("highscore_value", {1}).Real(), 0);
}

TEST_F(HighScoreBuiltins, PlacesOutsideTheTableAreRefused) {
  Call("highscore_add", {"Ann", 5});
  for (double place : {0.0, 11.0, -1.0, 0.4, 10.6, 1e12}) {
    auto value = Call("highscore_value", {place});
    EXPECT_EQ(value.Real(), 0) << place;
    EXPECT_NE(value.error.find("highscore_value: there is no place"), std::string::npos) << value.error;
    auto name = Call("highscore_name", {place});
    EXPECT_TRUE(name.IsString());
    EXPECT_EQ(name.Text(), "");
    EXPECT_NE(name.error.find("highscore_name: there is no place"), std::string::npos) << name.error;
  }
  EXPECT_EQ(Call("highscore_name", {0.6}).Text(), "Ann");
}

TEST_F(HighScoreBuiltins, DisplaySettingsAreStored) {
  Call("highscore_show_ext", {3, 7, 0.5, 0x1234, 0x5678, "Mono", 9});
  const HighScoreDisplay& d = HighScore_Display();
  EXPECT_EQ(d.backgroundImage, 7);
  EXPECT_TRUE(d.border);  // from 0.5 up
  EXPECT_EQ(d.newColour, 0x1234);
  EXPECT_EQ(d.otherColour, 0x5678);
  EXPECT_EQ(d.font, "Mono");
  EXPECT_EQ(d.fontSize, 9);
  Call("highscore_set_border", {0.49});
  EXPECT_FALSE(d.border);
  Call("highscore_set_colors", {1, 2, 3});
  EXPECT_EQ(d.background, 1);
  EXPECT_EQ(d.newColour, 2);
  EXPECT_EQ(d.otherColour, 3);
  Call("highscore_set_background", {4});
  EXPECT_EQ(d.backgroundImage, 4);
  Call("highscore_set_font", {"Serif", 14, 1});
  EXPECT_EQ(d.font, "Serif");
  EXPECT_EQ(d.fontSize, 14);
  EXPECT_FALSE(HighScore_Modified());  // settings are not the table
}

}  // namespace
