#include "draw/draw.h"

namespace {
int g_circlePrecision = 24;
}

void Draw_SetCirclePrecision(int precision) { g_circlePrecision = precision; }
int Draw_GetCirclePrecision() { return g_circlePrecision; }
bool Font_Load(const ChunkBody&) { return true; }
void Font_Clear() {}
void Font_InitTextures() {}
void Font_Shutdown() {}
void Text_FreeDefaultFont() {}
void InitGraphicFunctions() {}
void Init3DFunctions() {}
void InitVertexBufferFunctions() {}
void InitVertexFormatFunctions() {}
void Vertex_SetCheckedHandlers(bool) {}
