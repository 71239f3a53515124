#include "platform/keys.h"

#include <SDL.h>

namespace {
struct KeyPair {
  SDL_Keycode sdl;
  int vk;
};

constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 8},   {SDLK_TAB, 9},          {SDLK_RETURN, 13},       {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},     {SDLK_RSHIFT, 16},      {SDLK_LCTRL, 17},        {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},       {SDLK_RALT, 18},        {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},     {SDLK_SPACE, 32},       {SDLK_PAGEUP, 33},       {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},        {SDLK_HOME, 36},        {SDLK_LEFT, 37},         {SDLK_UP, 38},
    {SDLK_RIGHT, 39},      {SDLK_DOWN, 40},        {SDLK_PRINTSCREEN, 44},  {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},     {SDLK_LGUI, 91},        {SDLK_RGUI, 92},         {SDLK_APPLICATION, 93},
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},  {SDLK_KP_MINUS, 109},    {SDLK_KP_PERIOD, 110},
    {SDLK_KP_DIVIDE, 111}, {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145}, {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},    {SDLK_COMMA, 188},      {SDLK_MINUS, 189},       {SDLK_PERIOD, 190},
    {SDLK_SLASH, 191},     {SDLK_BACKQUOTE, 192},  {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},
    {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};

constexpr KeyPair kSides[] = {
    {SDLK_LSHIFT, 160}, {SDLK_RSHIFT, 161}, {SDLK_LCTRL, 162},
    {SDLK_RCTRL, 163},  {SDLK_LALT, 164},   {SDLK_RALT, 165},
};

constexpr SDL_Keycode kKeypadDigits[] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                                         SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};
}  // namespace

int Keys_ToVirtualKey(int k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
  if (k >= SDLK_F13 && k <= SDLK_F24) return 124 + (k - SDLK_F13);
  for (int d = 0; d < 10; ++d)
    if (k == kKeypadDigits[d]) return 96 + d;
  for (const KeyPair& p : kKeys)
    if (p.sdl == k) return p.vk;
  return 0;
}

int Keys_SideVirtualKey(int k) {
  for (const KeyPair& p : kSides)
    if (p.sdl == k) return p.vk;
  return 0;
}

int Keys_ControlCharacter(int vk) {
  switch (vk) {
    case 8:
    case 9:
    case 13:
    case 27:
      return vk;
  }
  return 0;
}

void Keys_GenericAndSide(int key, int* generic, int* side) {
  *generic = key;
  *side = 0;
  if (key >= 160 && key <= 165) {
    *generic = 16 + (key - 160) / 2;
    *side = key;
  } else if (key >= 16 && key <= 18) {
    *side = 160 + 2 * (key - 16);
  }
}
