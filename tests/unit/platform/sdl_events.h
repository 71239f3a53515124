// SDL events built as the system queues them, for tests that feed the real
// event pump.
#pragma once
#include <SDL.h>

#include <cstring>

#include "platform/events.h"

namespace sdl_events {

inline SDL_Event Blank(Uint32 type) {
  SDL_Event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = type;
  return ev;
}

inline SDL_Event Key(Uint32 type, SDL_Keycode sym, Uint16 mod = 0, Uint8 repeat = 0) {
  SDL_Event ev = Blank(type);
  ev.key.keysym.sym = sym;
  ev.key.keysym.mod = mod;
  ev.key.repeat = repeat;
  return ev;
}

inline SDL_Event Button(Uint32 type, Uint8 button, int x = 0, int y = 0) {
  SDL_Event ev = Blank(type);
  ev.button.button = button;
  ev.button.x = x;
  ev.button.y = y;
  return ev;
}

inline SDL_Event Wheel(int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
  SDL_Event ev = Blank(SDL_MOUSEWHEEL);
  ev.wheel.y = y;
  ev.wheel.direction = direction;
  return ev;
}

inline SDL_Event Window(Uint8 what) {
  SDL_Event ev = Blank(SDL_WINDOWEVENT);
  ev.window.event = what;
  return ev;
}

// Starts the queue and drops whatever earlier tests left in it.
inline void EmptyQueue() {
  Events_SetHandler(nullptr);
  Events_Pump();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

}  // namespace sdl_events
