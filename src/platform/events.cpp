#include "platform/events.h"

#include <SDL.h>

#include "platform/keys.h"

namespace {
std::function<void(const WindowEvent&)> g_handler;

bool EnsureEvents() {
  // The event queue works without a display; the window layer brings up video.
  if (SDL_WasInit(SDL_INIT_EVENTS)) return true;
  return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
}

int ButtonNumber(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
  }
  return 0;
}

// The engine's form of an SDL event; false for events the engine ignores.
bool Translate(const SDL_Event& ev, WindowEvent* out) {
  switch (ev.type) {
    case SDL_WINDOWEVENT:
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: out->kind = WindowEventKind::FocusGained; return true;
        case SDL_WINDOWEVENT_FOCUS_LOST: out->kind = WindowEventKind::FocusLost; return true;
        case SDL_WINDOWEVENT_CLOSE: out->kind = WindowEventKind::Close; return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED: out->kind = WindowEventKind::SizeChanged; return true;
      }
      return false;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out->kind = ev.type == SDL_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp;
      out->key = Keys_ToVirtualKey(ev.key.keysym.sym);
      out->sideKey = Keys_SideVirtualKey(ev.key.keysym.sym);
      out->repeat = ev.key.repeat != 0;
      out->alt = (ev.key.keysym.mod & KMOD_ALT) != 0;
      return out->key != 0;
    case SDL_TEXTINPUT:
      out->kind = WindowEventKind::Text;
      out->text = ev.text.text;
      return true;
    case SDL_MOUSEMOTION:
      out->kind = WindowEventKind::MouseMove;
      out->x = ev.motion.x;
      out->y = ev.motion.y;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out->kind = ev.type == SDL_MOUSEBUTTONDOWN ? WindowEventKind::ButtonDown : WindowEventKind::ButtonUp;
      out->button = ButtonNumber(ev.button.button);
      out->x = ev.button.x;
      out->y = ev.button.y;
      return out->button != 0;
    case SDL_MOUSEWHEEL:
      out->kind = WindowEventKind::Wheel;
      out->wheel = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
      return true;
  }
  return false;
}
}  // namespace

void Events_SetHandler(std::function<void(const WindowEvent&)> handler) { g_handler = std::move(handler); }

bool Events_Pump() {
  if (!EnsureEvents()) return true;
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (ev.type == SDL_QUIT) return false;
    WindowEvent event;
    if (g_handler && Translate(ev, &event)) g_handler(event);
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
