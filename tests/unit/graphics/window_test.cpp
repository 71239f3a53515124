// The window procedure's half that needs no window: SDL events, taken through
// the real event pump, turned into the input layer's calls; and the window
// settings.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/game_info.h"
#include "core/options.h"
#include "graphics/display.h"
#include "graphics/window.h"
#include "input/input.h"
#include "platform/events.h"
#include "unit/platform/sdl_events.h"
#include "unit/world_reset.h"

namespace {

using sdl_events::Button;
using sdl_events::Key;
using sdl_events::Wheel;

class WindowEvents : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Window_ResetForTests();
    IO_ResetKeyMap();
    IO_Clear();
    Graphics_TakeFullResetMark();
    sdl_events::EmptyQueue();
    Events_SetHandler(Window_HandleEvent);
  }
  void TearDown() override {
    Events_SetHandler(nullptr);
    Window_ResetForTests();
    Graphics_TakeFullResetMark();
    WorldTest::TearDown();
  }

  static void Feed(SDL_Event ev) {
    ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError();
    EXPECT_TRUE(Events_Pump());
  }
};

TEST_F(WindowEvents, ModifiersComeWithTheirSide) {
  struct Case {
    SDL_Keycode sym;
    int generic, side, other;
  };
  const Case cases[] = {{SDLK_LSHIFT, 16, 160, 161}, {SDLK_RSHIFT, 16, 161, 160}, {SDLK_LCTRL, 17, 162, 163},
                        {SDLK_RCTRL, 17, 163, 162},  {SDLK_LALT, 18, 164, 165},   {SDLK_RALT, 18, 165, 164}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.side);
    IO_Clear();
    Feed(Key(SDL_KEYDOWN, c.sym));
    EXPECT_EQ(g_InputPending.keys_down[c.generic], 1);
    EXPECT_EQ(g_InputPending.keys_pressed[c.side], 1);
    EXPECT_EQ(g_InputPending.keys_down[c.other], 0);
    Feed(Key(SDL_KEYUP, c.sym));
    EXPECT_EQ(g_InputPending.keys_down[c.generic], 0);
    EXPECT_EQ(g_InputPending.keys_released[c.side], 1);
  }
}

TEST_F(WindowEvents, LettersRepeatsAndControlCharacters) {
  Feed(Key(SDL_KEYDOWN, SDLK_a));
  EXPECT_EQ(g_InputPending.keys_pressed[65], 1);
  EXPECT_EQ(g_InputPending.last_key, 65);
  g_InputPending.keys_pressed[65] = 0;
  Feed(Key(SDL_KEYDOWN, SDLK_a, 0, 1));  // auto-repeat
  EXPECT_EQ(g_InputPending.keys_pressed[65], 0);
  // Text input brings characters as UTF-16 units; Enter and Backspace come
  // from the keys themselves.
  SDL_Event text;
  std::memset(&text, 0, sizeof text);
  text.type = SDL_TEXTINPUT;
  std::strcpy(text.text.text, "h\xC3\xA9\xF0\x9F\x98\x80");  // h, e-acute, an emoji
  Feed(text);
  EXPECT_EQ(g_InputPending.length, 4);
  EXPECT_EQ(g_InputPending.keyboard_string[0], 'h');
  EXPECT_EQ(g_InputPending.keyboard_string[1], 0xE9);
  EXPECT_EQ(g_InputPending.keyboard_string[2], 0xD83D);
  EXPECT_EQ(g_InputPending.keyboard_string[3], 0xDE00);
  // Backspace takes the whole emoji, not half of it.
  Feed(Key(SDL_KEYDOWN, SDLK_BACKSPACE));
  EXPECT_EQ(g_InputPending.length, 2);
  EXPECT_EQ(g_InputPending.keyboard_string[2], 0);
  Feed(Key(SDL_KEYDOWN, SDLK_RETURN));
  EXPECT_EQ(g_InputPending.last_char, 13);
}

TEST_F(WindowEvents, ButtonsWheelAndMotion) {
  Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT));
  EXPECT_EQ(g_InputPending.mouse_pressed[1], 1);
  EXPECT_EQ(g_InputPending.mouse_button, 2);
  Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE));
  EXPECT_EQ(g_InputPending.mouse_button, 3);
  Feed(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE));
  EXPECT_EQ(g_InputPending.mouse_released[2], 1);
  InputPending before = g_InputPending;
  Feed(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1));  // no such button here
  EXPECT_EQ(std::memcmp(&before, &g_InputPending, sizeof before), 0);
  Feed(Wheel(0));
  EXPECT_EQ(g_InputPending.wheel_up, 0);
  EXPECT_EQ(g_InputPending.wheel_down, 0);
  Feed(Wheel(2));
  EXPECT_EQ(g_InputPending.wheel_up, 1);
  Feed(Wheel(-1));
  EXPECT_EQ(g_InputPending.wheel_down, 1);
  SDL_Event move;
  std::memset(&move, 0, sizeof move);
  move.type = SDL_MOUSEMOTION;
  move.motion.x = 300;
  move.motion.y = -2;  // dragged above the window: a negative place
  Feed(move);
  EXPECT_EQ(g_InputPending.mouse_x, 300);
  EXPECT_EQ(g_InputPending.mouse_y, -2);
  move.motion.x = -70000;
  Feed(move);
  EXPECT_EQ(g_InputPending.mouse_x, -70000);
}

TEST_F(WindowEvents, AltEnterTogglesFullScreenOnlyWhenAllowed) {
  Feed(Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT));
  EXPECT_TRUE(Window_GetFullscreen());
  EXPECT_TRUE(Graphics_TakeFullResetMark());
  Feed(Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, 1));  // a repeat is no new request
  EXPECT_TRUE(Window_GetFullscreen());
  Options_Mutable().alt_enter = false;
  Feed(Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT));
  EXPECT_TRUE(Window_GetFullscreen());
  EXPECT_FALSE(Graphics_TakeFullResetMark());
}

TEST_F(WindowEvents, FocusFollowsTheWindowEvents) {
  SDL_Event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = SDL_WINDOWEVENT;
  ev.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  Feed(ev);
  EXPECT_FALSE(Window_IsActive());
  ev.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  Feed(ev);
  EXPECT_TRUE(Window_IsActive());
}

TEST_F(WindowEvents, CursorKinds) {
  struct Case {
    int kind;
    bool visible;
    int stored;
  };
  // -1 and -5 hide it; 7 is no kind and changes only what is stored.
  const Case cases[] = {{0, true, 0}, {-1, false, -1}, {-3, true, -3}, {-5, false, -5}, {7, false, 7},
                        {-22, true, -22}, {-23, true, -23}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Window_SetCursor(c.kind);
    EXPECT_EQ(Window_GetCursor(), c.stored);
    EXPECT_EQ(Window_CursorVisible(), c.visible);
  }
}

TEST_F(WindowEvents, SizeCaptionAndColour) {
  // The current size asks for no reset; another one does, keeping the place.
  Window_SetSize(Window_GetWidth(), Window_GetHeight());
  EXPECT_FALSE(Graphics_TakeFullResetMark());
  EXPECT_FALSE(Window_TakeKeepPosition());
  Window_SetSize(400, 300);
  EXPECT_TRUE(Graphics_TakeFullResetMark());
  EXPECT_TRUE(Window_TakeKeepPosition());
  EXPECT_EQ(Display_State().requestedWidth, 400);
  Window_SetCaption(nullptr);
  EXPECT_EQ(Window_GetCaption(), "");
  Window_SetCaption("Ping \xE2\x80\x94 Pong");
  EXPECT_EQ(Window_GetCaption(), "Ping \xE2\x80\x94 Pong");
  Window_SetColor(0x12345678u);
  EXPECT_EQ(Window_GetColor(), 0x345678u);
}

TEST_F(WindowEvents, AGameWithoutACaptionGetsAnEmptyOne) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  GameInfo_Reset();
  ASSERT_TRUE(GameInfo_Get().display_name.empty());
  Window_SetCaption("left over");
  Window_Create(32, 24);
  if (!Window_Exists()) GTEST_SKIP() << "no window on the offscreen driver";
  EXPECT_EQ(Window_GetCaption(), "");
  // The context is current on the window just made.
  EXPECT_STREQ(SDL_GetWindowTitle(SDL_GL_GetCurrentWindow()), "");
  Window_Destroy();
}

}  // namespace
