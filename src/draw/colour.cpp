#include "draw/colour.h"

#include <cmath>

#include "script/convert.h"

namespace {

uint8_t ToByte(float channel) {
  int32_t b = Real_ToInt32(channel * 255.0f + 0.5f);
  return uint8_t(b < 0 ? 0 : b > 255 ? 255 : b);
}

uint32_t Channel(uint32_t colour, int shift) { return (colour >> shift) & 0xFFu; }

// The low 8 bits of the nearest integer; out-of-range blends saturate before
// the mask, so nothing undefined happens for a huge t.
uint32_t LowByte(double x) { return uint32_t(Real_ToInt64(std::nearbyint(x))) & 0xFFu; }

}  // namespace

uint32_t Colour_ToARGB(uint32_t colour, uint32_t alphaByte) {
  return (alphaByte & 0xFFu) << 24 | Channel(colour, 0) << 16 | (colour & 0xFF00u) | Channel(colour, 16);
}

uint32_t Colour_AlphaToByte(float alpha) {
  if (alpha > 1.0f) return 255;
  if (!(alpha >= 0.0f)) return 0;  // NaN too
  return uint32_t(Real_ToInt32(alpha * 255.0f));
}

uint32_t Colour_ToARGBAlpha(uint32_t colour, float alpha) {
  int32_t a = Real_ToInt32(alpha * 255.0f);
  if (a >= 256) a = 255;
  if (a < 0) a = 0;
  return Colour_ToARGB(colour, uint32_t(a));
}

uint32_t Colour_SetAlphaByte(uint32_t deviceColour, uint32_t alphaByte) {
  return (deviceColour & 0x00FFFFFFu) | (alphaByte & 0xFFu) << 24;
}

uint32_t Colour_MakeRGB(int32_t red, int32_t green, int32_t blue) {
  return uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16;
}

uint32_t Colour_Merge(uint32_t colour1, uint32_t colour2, double t) {
  double inverse = float(1.0 - t);
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    out |= LowByte(Channel(colour1, shift) * inverse + Channel(colour2, shift) * t) << shift;
  return out;
}

uint32_t Colour_Lerp(uint32_t colour1, uint32_t colour2, double t) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    out |= LowByte(Channel(colour2, shift) * t + Channel(colour1, shift) * (1.0 - t)) << shift;
  return out;
}

RGBTriple Colour_SetRGBBytes(int32_t red, int32_t green, int32_t blue) {
  return RGBTriple{uint8_t(blue), uint8_t(green), uint8_t(red)};
}

HSVTriple Colour_SetHSVBytes(int32_t hue, int32_t saturation, int32_t value) {
  return HSVTriple{uint8_t(hue), uint8_t(saturation), uint8_t(value)};
}

uint32_t Colour_BytesToInt(RGBTriple rgb) { return Colour_MakeRGB(rgb.red, rgb.green, rgb.blue); }

RGBTriple Colour_IntToBytes(uint32_t colour) {
  return RGBTriple{uint8_t(Channel(colour, 16)), uint8_t(Channel(colour, 8)), uint8_t(Channel(colour, 0))};
}

HSVTriple Colour_RGBToHSV(RGBTriple rgb) {
  float r = rgb.red / 255.0f, g = rgb.green / 255.0f, b = rgb.blue / 255.0f;
  float max = std::fmax(r, std::fmax(g, b));
  float min = std::fmin(r, std::fmin(g, b));
  float saturation = 0.0f, hue = 0.0f;
  if (max != 0.0f) {
    saturation = (max - min) / max;
    if (saturation != 0.0f) {
      float d = max - min;
      if (r == max) {
        hue = (g - b) * 60.0f / d;
      } else if (g == max) {
        hue = (b - r) * 60.0f / d + 120.0f;
      } else {
        hue = (r - g) * 60.0f / d + 240.0f;
      }
      if (hue < 0.0f) hue += 360.0f;
    }
  }
  int32_t h = Real_ToInt32(hue * 255.0f / 360.0f + 0.5f);
  return HSVTriple{uint8_t(h < 0 ? 0 : h > 255 ? 255 : h), ToByte(saturation), ToByte(max)};
}

RGBTriple Colour_HSVToRGB(HSVTriple hsv) {
  float h = hsv.hue * 360.0f / 255.0f;
  if (h == 360.0f) h = 0.0f;
  float s = hsv.saturation / 255.0f;
  float v = hsv.value / 255.0f;
  float red = v, green = v, blue = v;
  if (s != 0.0f) {
    h = h / 60.0f;
    int i = int(h);
    float f = h - float(i);
    float p = (1.0f - s) * v;
    float q = (1.0f - f * s) * v;
    float t = (1.0f - (1.0f - f) * s) * v;
    switch (i) {
      case 0: red = v, green = t, blue = p; break;
      case 1: red = q, green = v, blue = p; break;
      case 2: red = p, green = v, blue = t; break;
      case 3: red = p, green = q, blue = v; break;
      case 4: red = t, green = p, blue = v; break;
      default: red = v, green = p, blue = q; break;
    }
  }
  return RGBTriple{ToByte(blue), ToByte(green), ToByte(red)};
}

HSVTriple Colour_GetHSV(uint32_t colour) { return Colour_RGBToHSV(Colour_IntToBytes(colour)); }

uint32_t Colour_HSVToInt(HSVTriple hsv) { return Colour_BytesToInt(Colour_HSVToRGB(hsv)); }
