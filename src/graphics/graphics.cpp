#include "graphics/graphics.h"

void Texture_InitBuiltins() {}
void Window_ClearViewMappings() {}
void Texture_Shutdown() {}
void InitShaderFunctions() {}
bool Shader_Load(const ChunkBody&) { return true; }
