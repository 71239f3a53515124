#include "platform/keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

struct KeyCase {
  int sdl;
  int vk;
  int side;
};

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, MapToTheEngineNumbers) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(Keys_ToVirtualKey(c.sdl), c.vk);
  EXPECT_EQ(Keys_SideVirtualKey(c.sdl), c.side);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Keys,
    ::testing::Values(KeyCase{SDLK_a, 65, 0}, KeyCase{SDLK_z, 90, 0}, KeyCase{SDLK_0, 48, 0},
                      KeyCase{SDLK_9, 57, 0}, KeyCase{SDLK_F1, 112, 0}, KeyCase{SDLK_F12, 123, 0},
                      KeyCase{SDLK_LEFT, 37, 0}, KeyCase{SDLK_DOWN, 40, 0}, KeyCase{SDLK_SPACE, 32, 0},
                      KeyCase{SDLK_RETURN, 13, 0}, KeyCase{SDLK_KP_ENTER, 13, 0}, KeyCase{SDLK_ESCAPE, 27, 0},
                      KeyCase{SDLK_BACKSPACE, 8, 0}, KeyCase{SDLK_TAB, 9, 0}, KeyCase{SDLK_KP_0, 96, 0},
                      KeyCase{SDLK_KP_9, 105, 0}, KeyCase{SDLK_KP_MULTIPLY, 106, 0},
                      KeyCase{SDLK_KP_DIVIDE, 111, 0}, KeyCase{SDLK_LSHIFT, 16, 160},
                      KeyCase{SDLK_RSHIFT, 16, 161}, KeyCase{SDLK_LCTRL, 17, 162}, KeyCase{SDLK_RCTRL, 17, 163},
                      KeyCase{SDLK_LALT, 18, 164}, KeyCase{SDLK_RALT, 18, 165}, KeyCase{SDLK_DELETE, 46, 0},
                      KeyCase{SDLK_SEMICOLON, 186, 0}, KeyCase{SDLK_QUOTE, 222, 0},
                      KeyCase{SDLK_AUDIOMUTE, 0, 0}));

TEST(Keys, ControlCharactersThatTextInputDoesNotDeliver) {
  for (int vk : {8, 9, 13, 27}) EXPECT_EQ(Keys_ControlCharacter(vk), vk);
  for (int vk : {0, 32, 65, 46}) EXPECT_EQ(Keys_ControlCharacter(vk), 0);
}

}  // namespace
