// Drawing particle systems: the shape textures, one system's particles, and
// the depth queries through which the room's depth pass interleaves the
// systems drawn automatically with its instances and tiles.
#pragma once
#include <cstdint>

#include "graphics/textures.h"

struct Particle;

// Loads the 14 shape textures from the program's built-in images 1 to 14.
void Part_CreateTextures();
void Part_FreeTextures();
// Shape s's texture, or null (no device, or s outside 0..13).
TextureD3D* Part_ShapeTexture(int32_t shape);

// Draws the system now at the current drawing depth; nothing for a system
// not in use.
void PartSystem_Draw(int32_t index);
// Greatest depth of a system in use drawn automatically; -1e9 when none.
float PartSystem_MaxDepth();
// Greatest such depth strictly below the given one; -1e9 when none.
float PartSystem_NextDepthBelow(float depth);
// Draws, in slot order, every such system within 0.01 of the depth.
void PartSystem_DrawAtDepth(float depth);
// Hands the three depth functions to the room's drawing.
void Part_InstallDrawHooks();

// The six vertices (two triangles: top-left, top-right, bottom-right,
// bottom-right, bottom-left, top-left) of a shape particle centred on
// (x, y) (truncated to whole pixels), turned by angle degrees, at depth z.
// colour is the script colour 0x00BBGGRR.
void Part_WriteShapeVertices(TexturedVertex out[6], float x, float y, float xScale, float yScale, float size,
                             float angle, float z, uint32_t colour, float alpha);
