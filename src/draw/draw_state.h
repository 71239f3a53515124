// The one drawing state every 2D drawer reads: colour and alpha, font and
// alignment, depth, the 2D offset, the corner-id switch and the circle table.
#pragma once
#include <cstdint>

struct CircleTable {
  static constexpr int kMaxPrecision = 64;
  int32_t precision = 24;
  float cos[kMaxPrecision + 1] = {};
  float sin[kMaxPrecision + 1] = {};
};

struct DrawState {
  uint32_t colour = 0xFF000000u;  // device colour; its top byte is always alpha
  uint32_t alpha = 255;
  int32_t font = -1;    // -1: the built-in font
  int32_t halign = 0;   // 0 left, 1 centre, 2 right
  int32_t valign = 0;   // 0 top, 1 middle, 2 bottom
  float depth = 0.0f;
  float offsetX = 1.0f, offsetY = 1.0f;
  bool cornerId = false;
  CircleTable circle;
};

DrawState& Draw_State();
// Back to the start values, circle table included (tests).
void DrawState_ResetForTests();
