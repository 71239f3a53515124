// Precise collision tests against a sprite's collision masks: room pixels
// are mapped back into the frame as the instance is drawn (position, origin,
// scale, rotation) and the mask cell there is read.
#pragma once
#include <cstdint>
#include <vector>

// What the tests need of a sprite: its size, origin, frame count and masks
// (one byte per pixel, rows of `width`). Without masks it counts as solid.
struct MaskView {
  int width = 0, height = 0;
  int originX = 0, originY = 0;
  int frames = 0;
  bool hasMasks = false;
  const std::vector<std::vector<uint8_t>>* masks = nullptr;
};

// An instance's sprite as placed in the room: frame, bounding box
// (inclusive), whole-pixel position, scales and angle in degrees.
struct MaskPlacement {
  int frame = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  int x = 0, y = 0;
  float xscale = 1, yscale = 1, angle = 0;
};

struct MaskRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

bool Precise_Sprite(const MaskView& a, const MaskPlacement& pa, const MaskView& b, const MaskPlacement& pb);
bool Precise_Point(const MaskView& s, const MaskPlacement& p, int px, int py);
bool Precise_Rectangle(const MaskView& s, const MaskPlacement& p, const MaskRect& r);
bool Precise_Ellipse(const MaskView& s, const MaskPlacement& p, const MaskRect& r);
bool Precise_Line(const MaskView& s, const MaskPlacement& p, int x1, int y1, int x2, int y2);

// The sprite table installs its look-up; false for a sprite that does not
// exist. Until then no sprite has a mask.
using MaskLookup = bool (*)(int32_t sprite, MaskView* out);
void Precise_SetMaskLookup(MaskLookup lookup);
bool Precise_LookUpMask(int32_t sprite, MaskView* out);
