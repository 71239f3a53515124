#include "draw/draw.h"

// Fonts are not loaded yet: no font index names a font, and the built-in
// font needs nothing made.
bool Font_Load(const ChunkBody&) { return true; }
bool Font_Exists(int32_t) { return false; }
void Font_Clear() {}
void Font_InitTextures() {}
void Font_Shutdown() {}
void Text_EnsureDefaultFont() {}
void Text_FreeDefaultFont() {}
void InitGraphicFunctions() { Draw_RegisterStateFunctions(); }
void Init3DFunctions() {}
void InitVertexBufferFunctions() {}
void InitVertexFormatFunctions() {}
void Vertex_SetCheckedHandlers(bool) {}
