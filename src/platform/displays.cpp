#include "platform/displays.h"

#include <SDL.h>

#include <cstdlib>

namespace {

DisplayModeInfo FromSdl(const SDL_DisplayMode& m, int index) {
  DisplayModeInfo info;
  info.width = m.w;
  info.height = m.h;
  int bytes = SDL_BYTESPERPIXEL(m.format);
  info.bits = bytes > 0 ? bytes * 8 : 32;
  info.refresh = m.refresh_rate;
  info.index = index;
  return info;
}

}  // namespace

bool Displays_StartVideo(std::string* error) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  if (!std::getenv("SDL_VIDEODRIVER")) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  }
  if (error) *error = std::string("SDL video: ") + SDL_GetError();
  return false;
}

bool Displays_VideoStarted() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

int Displays_Count() { return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumVideoDisplays() : 0; }

std::string Displays_Name(int display) {
  const char* name = SDL_GetDisplayName(display);
  return name ? name : "";
}

bool Displays_Desktop(int display, DisplayModeInfo* mode, int* x, int* y) {
  SDL_Rect bounds{};
  if ((x || y) && SDL_GetDisplayBounds(display, &bounds) != 0) return false;
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) return false;
  *mode = FromSdl(desktop, 0);
  if (x) *x = bounds.x;
  if (y) *y = bounds.y;
  return true;
}

std::vector<DisplayModeInfo> Displays_Modes(int display) {
  std::vector<DisplayModeInfo> modes;
  int count = SDL_GetNumDisplayModes(display);
  for (int k = 0; k < count; ++k) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(display, k, &m) == 0) modes.push_back(FromSdl(m, k));
  }
  return modes;
}

bool Displays_GlobalMouse(int* x, int* y) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_GetGlobalMouseState(x, y);
  return true;
}

void Displays_WarpMouseGlobal(int x, int y) { SDL_WarpMouseGlobal(x, y); }
