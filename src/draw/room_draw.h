// Drawing the room each step through its views, into the screen texture.
#pragma once

// Draws the current room for this frame.
void Graphics_DrawScreen();
// Sizes the render area to the room just entered (its views' ports, or the
// room itself).
void Graphics_FitWindowToRoom();

// The particle systems drawn by depth among the instances and tiles. The
// particle layer sits above this one, so it installs these; without them no
// system is drawn.
struct RoomParticleHooks {
  // The greatest depth of a system drawn automatically, -1e9 when none.
  float (*maxDepth)() = nullptr;
  // The greatest such depth strictly below the given one, -1e9 when none.
  float (*nextDepthBelow)(float depth) = nullptr;
  // Draws the systems within 0.01 of the depth.
  void (*drawAtDepth)(float depth) = nullptr;
};
void RoomDraw_SetParticleHooks(const RoomParticleHooks& hooks);
