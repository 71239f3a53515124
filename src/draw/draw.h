// Drawing and text, as far as start-up and shutdown need them so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

void Draw_SetCirclePrecision(int precision);
int Draw_GetCirclePrecision();
bool Font_Load(const ChunkBody& body);
void Font_Clear();
void Font_InitTextures();
void Font_Shutdown();
void Text_FreeDefaultFont();
void InitGraphicFunctions();
void Init3DFunctions();
void InitVertexBufferFunctions();
void InitVertexFormatFunctions();
void Vertex_SetCheckedHandlers(bool checked);
