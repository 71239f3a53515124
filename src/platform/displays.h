// The host's displays: starting video, the displays and their modes, and the
// pointer on the whole desktop.
#pragma once
#include <string>
#include <vector>

struct DisplayModeInfo {
  int width = 0, height = 0;
  // Bits per pixel as the desktop reports them (24-bit colour kept in 32-bit
  // pixels counts as 32).
  int bits = 32;
  int refresh = 0;  // 0 when unknown
  int index = 0;    // the mode's number on its display
};

// Starts video once; without a display (and no driver named in
// SDL_VIDEODRIVER) it falls back to the offscreen driver. False, with the
// reason in *error, when neither starts.
bool Displays_StartVideo(std::string* error);
bool Displays_VideoStarted();
int Displays_Count();
std::string Displays_Name(int display);
// The display's desktop mode and, when asked, the place of its top left
// corner; false when either cannot be read.
bool Displays_Desktop(int display, DisplayModeInfo* mode, int* x = nullptr, int* y = nullptr);
// Every mode the display lists, in its own order; modes that cannot be read
// are left out.
std::vector<DisplayModeInfo> Displays_Modes(int display);
// The pointer on the whole desktop; false when it cannot be read.
bool Displays_GlobalMouse(int* x, int* y);
void Displays_WarpMouseGlobal(int x, int y);
