// Colour formats and every conversion between them.
//   script colour: 0x00BBGGRR, as scripts, resources and rooms hold it;
//   device colour: 0xAARRGGBB, as vertices take it.
#pragma once
#include <cstdint>

struct RGBTriple {
  uint8_t blue, green, red;
};

// Each byte 0..255; a hue of 255 stands for 360 degrees.
struct HSVTriple {
  uint8_t hue, saturation, value;
};

// Red and blue exchanged, alpha on top; bits above 23 are ignored.
uint32_t Colour_ToARGB(uint32_t colour, uint32_t alphaByte);
// Alpha 0..1; 256 or more gives 255, a negative alpha 0.
uint32_t Colour_ToARGBAlpha(uint32_t colour, float alpha);
uint32_t Colour_AlphaToByte(float alpha);
uint32_t Colour_SetAlphaByte(uint32_t deviceColour, uint32_t alphaByte);
uint32_t Colour_MakeRGB(int32_t red, int32_t green, int32_t blue);
// Per channel, the nearest integer (halves to even) of the blend, keeping
// its low 8 bits: t is not clamped, so channels wrap outside 0..1.
uint32_t Colour_Merge(uint32_t colour1, uint32_t colour2, double t);
// The same blend summed in the other order (health bars).
uint32_t Colour_Lerp(uint32_t colour1, uint32_t colour2, double t);

RGBTriple Colour_SetRGBBytes(int32_t red, int32_t green, int32_t blue);
HSVTriple Colour_SetHSVBytes(int32_t hue, int32_t saturation, int32_t value);
uint32_t Colour_BytesToInt(RGBTriple rgb);
RGBTriple Colour_IntToBytes(uint32_t colour);
// Both in single precision.
HSVTriple Colour_RGBToHSV(RGBTriple rgb);
RGBTriple Colour_HSVToRGB(HSVTriple hsv);
HSVTriple Colour_GetHSV(uint32_t colour);
uint32_t Colour_HSVToInt(HSVTriple hsv);
