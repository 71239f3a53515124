#include "platform/joystick.h"

#include <SDL.h>

namespace {
constexpr int kPads = 2;
SDL_Joystick* g_open[kPads] = {};
// Virtual devices made by tests, by pad; their handles stay open so their
// values can be set.
SDL_Joystick* g_virtual[kPads] = {};

bool EnsureJoysticks() {
  if (SDL_WasInit(SDL_INIT_JOYSTICK)) return true;
  return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

void Close(int pad) {
  if (g_open[pad]) SDL_JoystickClose(g_open[pad]);
  g_open[pad] = nullptr;
}

// The open joystick of a pad, opened again when the device at that place
// changed; null when none is there.
SDL_Joystick* Pad(int pad) {
  if (pad < 0 || pad >= kPads || !EnsureJoysticks()) return nullptr;
  SDL_JoystickUpdate();
  if (pad >= SDL_NumJoysticks()) {
    Close(pad);
    return nullptr;
  }
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(pad);
  SDL_Joystick* j = g_open[pad];
  if (j && SDL_JoystickGetAttached(j) && SDL_JoystickInstanceID(j) == id) return j;
  Close(pad);
  g_open[pad] = SDL_JoystickOpen(pad);
  return g_open[pad];
}
}  // namespace

bool Joystick_Caps(int pad, JoystickCaps* caps) {
  SDL_Joystick* j = Pad(pad);
  if (!j) return false;
  const char* name = SDL_JoystickName(j);
  caps->name = name ? name : "";
  caps->axes = SDL_JoystickNumAxes(j) < 0 ? 0 : SDL_JoystickNumAxes(j);
  caps->buttons = SDL_JoystickNumButtons(j) < 0 ? 0 : SDL_JoystickNumButtons(j);
  caps->hasPov = SDL_JoystickNumHats(j) > 0;
  return true;
}

bool Joystick_Axis(int pad, int axis, int32_t* position) {
  SDL_Joystick* j = Pad(pad);
  if (!j || axis < 0 || axis >= SDL_JoystickNumAxes(j)) return false;
  *position = int32_t(SDL_JoystickGetAxis(j, axis)) + 32768;
  return true;
}

bool Joystick_Buttons(int pad, uint32_t* bits) {
  SDL_Joystick* j = Pad(pad);
  if (!j) return false;
  uint32_t out = 0;
  int count = SDL_JoystickNumButtons(j);
  for (int b = 0; b < count && b < 32; ++b)
    if (SDL_JoystickGetButton(j, b)) out |= uint32_t(1) << b;
  *bits = out;
  return true;
}

bool Joystick_Pov(int pad, int32_t* reading) {
  SDL_Joystick* j = Pad(pad);
  if (!j) return false;
  if (SDL_JoystickNumHats(j) < 1) {
    *reading = 65535;
    return true;
  }
  switch (SDL_JoystickGetHat(j, 0)) {
    case SDL_HAT_UP: *reading = 0; break;
    case SDL_HAT_RIGHTUP: *reading = 4500; break;
    case SDL_HAT_RIGHT: *reading = 9000; break;
    case SDL_HAT_RIGHTDOWN: *reading = 13500; break;
    case SDL_HAT_DOWN: *reading = 18000; break;
    case SDL_HAT_LEFTDOWN: *reading = 22500; break;
    case SDL_HAT_LEFT: *reading = 27000; break;
    case SDL_HAT_LEFTUP: *reading = 31500; break;
    default: *reading = 65535; break;
  }
  return true;
}

void Joystick_CloseAll() {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return;
  for (int pad = 0; pad < kPads; ++pad) Close(pad);
}

int Joystick_AttachVirtual(const char* name, int axes, int buttons, int hats) {
  if (!EnsureJoysticks()) return -1;
  SDL_JoystickUpdate();
  int before = SDL_NumJoysticks();
  if (before >= kPads) return -1;
  for (int pad = 0; pad < before; ++pad)
    if (!g_virtual[pad]) return -1;
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
  desc.naxes = Uint16(axes);
  desc.nbuttons = Uint16(buttons);
  desc.nhats = Uint16(hats);
  desc.name = name;
  int index = SDL_JoystickAttachVirtualEx(&desc);
  if (index < 0 || index >= kPads) return -1;
  g_virtual[index] = SDL_JoystickOpen(index);
  return g_virtual[index] ? index : -1;
}

void Joystick_SetVirtualAxis(int pad, int axis, int16_t value) {
  if (pad >= 0 && pad < kPads && g_virtual[pad]) SDL_JoystickSetVirtualAxis(g_virtual[pad], axis, value);
}

void Joystick_SetVirtualButton(int pad, int button, bool down) {
  if (pad >= 0 && pad < kPads && g_virtual[pad]) SDL_JoystickSetVirtualButton(g_virtual[pad], button, down ? 1 : 0);
}

void Joystick_SetVirtualHat(int pad, int hat, uint8_t directions) {
  if (pad >= 0 && pad < kPads && g_virtual[pad]) SDL_JoystickSetVirtualHat(g_virtual[pad], hat, directions);
}

void Joystick_DetachVirtual(int pad) {
  if (pad < 0 || pad >= kPads || !g_virtual[pad]) return;
  Close(pad);
  SDL_JoystickClose(g_virtual[pad]);
  g_virtual[pad] = nullptr;
  SDL_JoystickDetachVirtual(pad);
}
