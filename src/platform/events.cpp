#include "platform/events.h"

#include <SDL.h>

namespace {
std::function<void(const SDL_Event&)> g_handler;

bool EnsureEvents() {
  // The event queue works without a display; the window layer brings up video.
  if (SDL_WasInit(SDL_INIT_EVENTS)) return true;
  return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
}
}  // namespace

void Events_SetHandler(std::function<void(const SDL_Event&)> handler) { g_handler = std::move(handler); }

bool Events_Pump() {
  if (!EnsureEvents()) return true;
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (ev.type == SDL_QUIT) return false;
    if (g_handler) g_handler(ev);
  }
  return true;
}

void Events_PostQuit() {
  if (!EnsureEvents()) return;
  SDL_Event ev{};
  ev.type = SDL_QUIT;
  SDL_PushEvent(&ev);
}

void Events_Shutdown() { SDL_Quit(); }
