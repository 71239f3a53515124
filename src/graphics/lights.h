// The fixed-function lights of the 3D drawing built-ins, set straight on the
// device. Eight slots; indices wrap (light 9 is light 1). Colours are script
// colours (0x00BBGGRR).
#pragma once
#include <cstdint>

void Light_DefineAmbient(uint32_t colour);
void Light_DefineDirection(int index, float dx, float dy, float dz, uint32_t colour);
void Light_DefinePoint(int index, float x, float y, float z, float range, uint32_t colour);
void Light_Enable(int index, bool flag);
