// SDL events taken from the real queue and handed on in the engine's terms.
#include "platform/events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "unit/platform/sdl_events.h"

namespace {

using sdl_events::Blank;
using sdl_events::Button;
using sdl_events::Key;
using sdl_events::Wheel;
using sdl_events::Window;

struct Seen {
  WindowEvent event;
  std::string text;
};

class EventPump : public ::testing::Test {
 protected:
  void SetUp() override {
    sdl_events::EmptyQueue();
    Events_SetHandler([this](const WindowEvent& e) { seen.push_back(Seen{e, e.text ? e.text : "(null)"}); });
  }
  void TearDown() override { Events_SetHandler(nullptr); }

  static void Push(SDL_Event ev) { ASSERT_EQ(SDL_PushEvent(&ev), 1) << SDL_GetError(); }

  std::vector<Seen> seen;
};

TEST_F(EventPump, KeysCarryTheEngineNumbersAndTheirModifiers) {
  struct Case {
    SDL_Event ev;
    WindowEventKind kind;
    int key, side;
    bool repeat, alt;
  };
  const Case cases[] = {
      {Key(SDL_KEYDOWN, SDLK_a, 0, 0), WindowEventKind::KeyDown, 65, 0, false, false},
      {Key(SDL_KEYDOWN, SDLK_a, 0, 1), WindowEventKind::KeyDown, 65, 0, true, false},
      {Key(SDL_KEYUP, SDLK_F5, 0, 0), WindowEventKind::KeyUp, 116, 0, false, false},
      {Key(SDL_KEYDOWN, SDLK_RCTRL, KMOD_RCTRL, 0), WindowEventKind::KeyDown, 17, 163, false, false},
      {Key(SDL_KEYUP, SDLK_LSHIFT, 0, 0), WindowEventKind::KeyUp, 16, 160, false, false},
      // Either Alt counts; other modifiers do not.
      {Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_RALT, 0), WindowEventKind::KeyDown, 13, 0, false, true},
      {Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT | KMOD_NUM, 0), WindowEventKind::KeyDown, 13, 0, false, true},
      {Key(SDL_KEYDOWN, SDLK_RETURN, KMOD_CTRL | KMOD_SHIFT, 0), WindowEventKind::KeyDown, 13, 0, false, false},
  };
  for (const Case& c : cases) Push(c.ev);
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), std::size(cases));
  for (size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    const WindowEvent& e = seen[i].event;
    EXPECT_EQ(e.kind, cases[i].kind);
    EXPECT_EQ(e.key, cases[i].key);
    EXPECT_EQ(e.sideKey, cases[i].side);
    EXPECT_EQ(e.repeat, cases[i].repeat);
    EXPECT_EQ(e.alt, cases[i].alt);
  }
}

TEST_F(EventPump, ButtonsWheelAndMotion) {
  Push(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20));
  Push(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, -3, 70000));
  Push(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 2));
  SDL_Event move = Blank(SDL_MOUSEMOTION);
  move.motion.x = 300;
  move.motion.y = -2;
  Push(move);
  // Natural scrolling reports the wheel reversed; the engine sees the turn.
  Push(Wheel(1, SDL_MOUSEWHEEL_NORMAL));
  Push(Wheel(-2, SDL_MOUSEWHEEL_NORMAL));
  Push(Wheel(1, SDL_MOUSEWHEEL_FLIPPED));
  Push(Wheel(-3, SDL_MOUSEWHEEL_FLIPPED));
  Push(Wheel(0, SDL_MOUSEWHEEL_FLIPPED));
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), 9u);
  EXPECT_EQ(seen[0].event.kind, WindowEventKind::ButtonDown);
  EXPECT_EQ(seen[0].event.button, 1);
  EXPECT_EQ(seen[0].event.x, 10);
  EXPECT_EQ(seen[0].event.y, 20);
  EXPECT_EQ(seen[1].event.kind, WindowEventKind::ButtonUp);
  EXPECT_EQ(seen[1].event.button, 2);
  EXPECT_EQ(seen[1].event.x, -3);  // outside the window: passed on as it is
  EXPECT_EQ(seen[1].event.y, 70000);
  EXPECT_EQ(seen[2].event.button, 3);
  EXPECT_EQ(seen[3].event.kind, WindowEventKind::MouseMove);
  EXPECT_EQ(seen[3].event.x, 300);
  EXPECT_EQ(seen[3].event.y, -2);
  const int wheels[] = {1, -2, -1, 3, 0};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[4 + i].event.kind, WindowEventKind::Wheel);
    EXPECT_EQ(seen[4 + i].event.wheel, wheels[i]);
  }
}

TEST_F(EventPump, WhatTheEngineHasNoUseForIsNotDelivered) {
  Push(Key(SDL_KEYDOWN, SDLK_AUDIOMUTE, 0, 0));  // no key number
  Push(Key(SDL_KEYUP, SDLK_AUDIOMUTE, 0, 0));
  Push(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 5, 5));
  Push(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_X2, 5, 5));
  Push(Window(SDL_WINDOWEVENT_MOVED));
  Push(Window(SDL_WINDOWEVENT_EXPOSED));
  Push(Blank(SDL_CLIPBOARDUPDATE));
  Push(Key(SDL_KEYDOWN, SDLK_b, 0, 0));  // the one that counts
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].event.key, 66);
}

TEST_F(EventPump, WindowEventsAndText) {
  Push(Window(SDL_WINDOWEVENT_FOCUS_LOST));
  Push(Window(SDL_WINDOWEVENT_FOCUS_GAINED));
  Push(Window(SDL_WINDOWEVENT_SIZE_CHANGED));
  Push(Window(SDL_WINDOWEVENT_CLOSE));
  SDL_Event text = Blank(SDL_TEXTINPUT);
  std::strcpy(text.text.text, "h\xC3\xA9");
  Push(text);
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].event.kind, WindowEventKind::FocusLost);
  EXPECT_EQ(seen[1].event.kind, WindowEventKind::FocusGained);
  EXPECT_EQ(seen[2].event.kind, WindowEventKind::SizeChanged);
  // A close is only reported: whether it ends the game is the window's call.
  EXPECT_EQ(seen[3].event.kind, WindowEventKind::Close);
  EXPECT_EQ(seen[4].event.kind, WindowEventKind::Text);
  EXPECT_EQ(seen[4].text, "h\xC3\xA9");
}

TEST_F(EventPump, AQuitStopsThePumpAndLeavesTheRestQueued) {
  Push(Key(SDL_KEYDOWN, SDLK_a, 0, 0));
  Events_PostQuit();
  Push(Key(SDL_KEYDOWN, SDLK_b, 0, 0));
  EXPECT_FALSE(Events_Pump());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].event.key, 65);
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].event.key, 66);
}

}  // namespace

namespace {

TEST_F(EventPump, KeysTheProgramMakesArriveAsTheSystemReportsRealOnes) {
  struct Case {
    int pushed;
    bool down;
    int key, side;
  };
  const Case cases[] = {
      {65, true, 65, 0}, {163, true, 17, 163}, {16, false, 16, 160}, {165, false, 18, 165}, {254, true, 254, 0},
  };
  for (const Case& c : cases) Events_PushKey(c.pushed, c.down);
  for (int ignored : {0, 255, 256, -1}) Events_PushKey(ignored, true);
  EXPECT_TRUE(Events_Pump());
  ASSERT_EQ(seen.size(), std::size(cases));
  for (size_t i = 0; i < seen.size(); ++i) {
    const WindowEvent& e = seen[i].event;
    EXPECT_EQ(e.kind, cases[i].down ? WindowEventKind::KeyDown : WindowEventKind::KeyUp) << i;
    EXPECT_EQ(e.key, cases[i].key) << i;
    EXPECT_EQ(e.sideKey, cases[i].side) << i;
    EXPECT_FALSE(e.repeat) << i;
  }
  for (int k : {65, 254, 163, 17}) Events_KeyAsyncState(k);  // forget the edges
}

TEST_F(EventPump, RealKeysSetTheSystemKeyStateByBothNumbers) {
  // Start from both Shift keys up, whatever earlier tests typed.
  Push(Key(SDL_KEYUP, SDLK_LSHIFT));
  Push(Key(SDL_KEYUP, SDLK_RSHIFT));
  EXPECT_TRUE(Events_Pump());
  for (int k : {16, 160, 161}) Events_KeyAsyncState(k);
  Push(Key(SDL_KEYDOWN, SDLK_RSHIFT));
  EXPECT_TRUE(Events_Pump());
  EXPECT_TRUE(Events_KeyAsyncState(16));
  EXPECT_TRUE(Events_KeyAsyncState(161));
  EXPECT_FALSE(Events_KeyAsyncState(160));
  Push(Key(SDL_KEYUP, SDLK_RSHIFT));
  EXPECT_TRUE(Events_Pump());
  EXPECT_FALSE(Events_KeyAsyncState(16));
  EXPECT_FALSE(Events_KeyAsyncState(161));
}

}  // namespace
