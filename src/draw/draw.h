// Drawing and text: the draw state's operations and what start-up and
// shutdown need. The state itself is in draw_state.h, the colour formats in
// colour.h.
#pragma once
#include <cstdint>
#include <string_view>

#include "draw/fonts.h"  // IWYU pragma: export

// Script colour; keeps the alpha already set.
void Draw_SetColour(uint32_t colour);
// Clamped to 0..1, then stored as a byte (0.5 gives 127).
void Draw_SetAlpha(float alpha);
// 0xAABBGGRR: the draw colour with its alpha on top.
uint32_t Draw_GetColour();
double Draw_GetAlpha();
// Clears target, depth and stencil; colour is 0xAABBGGRR.
void Draw_Clear(uint32_t colour);
void Draw_ClearAlpha(uint32_t colour, float alpha);
// Clamped to 4..64 and rounded down to a multiple of 4.
void Draw_SetCirclePrecision(int precision);
int Draw_GetCirclePrecision();
void Draw_ResetCirclePrecision();
// A font that does not exist selects the built-in font.
void Text_SetFont(int32_t font);
// 1 and 2 are kept; anything else stores 0.
void Text_SetHAlign(int32_t align);
void Text_SetVAlign(int32_t align);
// Entries the compiled game code calls without the registry.
void Direct_DrawSetColour(int32_t colour);
void Direct_DrawSetAlpha(float alpha);
void Direct_DrawSetHAlign(int32_t align);
void Direct_DrawSetVAlign(int32_t align);
// Lets textured quads read the draw alpha and the corner-id switch.
void Draw_InstallTextureHooks();

void InitGraphicFunctions();
void Init3DFunctions();
void InitVertexBufferFunctions();
void InitVertexFormatFunctions();
void Vertex_SetCheckedHandlers(bool checked);
