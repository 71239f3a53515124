#include "platform/events.h"

#include <SDL.h>

#include "platform/keys.h"

namespace {
std::function<void(const WindowEvent&)> g_handler;

// The system's key state by engine key number: held, and went down since
// the last query.
bool g_keyHeld[256] = {};
bool g_keyWentDown[256] = {};
// The queue's type for keys the program makes; 0 until first used.
Uint32 g_madeKeyEvent = 0;

void NoteKey(int key, bool down) {
  if (key <= 0 || key > 255) return;
  g_keyHeld[key] = down;
  if (down) g_keyWentDown[key] = true;
}

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
    case SDL_KEYUP: {
      bool down = ev.type == SDL_KEYDOWN;
      NoteKey(Keys_ToVirtualKey(ev.key.keysym.sym), down);
      NoteKey(Keys_SideVirtualKey(ev.key.keysym.sym), down);
      out->kind = ev.type == SDL_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp;
      out->key = Keys_ToVirtualKey(ev.key.keysym.sym);
      out->sideKey = Keys_SideVirtualKey(ev.key.keysym.sym);
      out->repeat = ev.key.repeat != 0;
      out->alt = (ev.key.keysym.mod & KMOD_ALT) != 0;
      return out->key != 0;
    }
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
  if (g_madeKeyEvent != 0 && ev.type == g_madeKeyEvent) {
    out->kind = ev.user.data1 ? WindowEventKind::KeyDown : WindowEventKind::KeyUp;
    Keys_GenericAndSide(ev.user.code, &out->key, &out->sideKey);
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
    // Translated with no handler too: the key state follows every key.
    WindowEvent event;
    if (Translate(ev, &event) && g_handler) g_handler(event);
  }
  return true;
}

void Events_PostQuit() {
  if (!EnsureEvents()) return;
  SDL_Event ev{};
  ev.type = SDL_QUIT;
  SDL_PushEvent(&ev);
}

void Events_PushKey(int key, bool down) {
  if (key < 1 || key > 254 || !EnsureEvents()) return;
  if (g_madeKeyEvent == 0) {
    Uint32 type = SDL_RegisterEvents(1);
    if (type == Uint32(-1)) return;
    g_madeKeyEvent = type;
  }
  SDL_Event ev{};
  ev.type = g_madeKeyEvent;
  ev.user.code = key;
  ev.user.data1 = down ? &g_madeKeyEvent : nullptr;
  if (SDL_PushEvent(&ev) != 1) return;
  // The system's key state changes as the event is made, not when the
  // window takes it.
  int generic = 0, side = 0;
  Keys_GenericAndSide(key, &generic, &side);
  NoteKey(generic, down);
  NoteKey(side, down);
}

bool Events_KeyAsyncState(int key) {
  if (key <= 0 || key > 255) return false;
  bool state = g_keyHeld[key] || g_keyWentDown[key];
  g_keyWentDown[key] = false;
  return state;
}

bool Events_NumLockOn() { return EnsureEvents() && (SDL_GetModState() & KMOD_NUM) != 0; }

void Events_SetNumLock(bool on) {
  if (Events_NumLockOn() == on || !EnsureEvents()) return;
  SDL_SetModState(SDL_Keymod(on ? (SDL_GetModState() | KMOD_NUM) : (SDL_GetModState() & ~KMOD_NUM)));
  Events_PushKey(144, true);
  Events_PushKey(144, false);
}

void Events_Shutdown() {
  for (int k = 0; k < 256; ++k) g_keyHeld[k] = g_keyWentDown[k] = false;
  g_madeKeyEvent = 0;
  SDL_Quit();
}
